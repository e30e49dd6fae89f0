#include "ChunkFixture.h"

#include "FixedAdvanceMeasurer.h"

namespace ChunkFixture {

InlineRun text(const QString& text, const TextStyle& style)
{
    InlineRun run;
    run.text = text;
    run.style = style;
    return run;
}

InlineRun image(const QString& url, double width, double height, double maxWidth)
{
    InlineRun run;
    run.kind = InlineRun::Image;
    run.url = url;
    run.width = width;
    run.height = height;
    run.maxWidth = maxWidth;
    return run;
}

InlineRun lineBreak()
{
    InlineRun run;
    run.kind = InlineRun::LineBreak;
    return run;
}

BlockItem paragraph(const QList<InlineRun>& runs, TextAlign align)
{
    BlockItem block;
    block.align = align;
    block.runs = runs;
    return block;
}

BlockItem paragraph(const QString& content, TextAlign align)
{
    return paragraph(QList<InlineRun>{text(content)}, align);
}

BlockItem containerStart(const BoxStyle& box)
{
    BlockItem block;
    block.kind = BlockItem::ContainerStart;
    block.box = box;
    return block;
}

BlockItem containerEnd(const BoxStyle& box)
{
    BlockItem block;
    block.kind = BlockItem::ContainerEnd;
    block.box = box;
    return block;
}

BlockItem rule(const QColor& colour)
{
    BlockItem block;
    block.kind = BlockItem::Rule;
    block.ruleColour = colour;
    return block;
}

ContentChunk chunk(const QList<BlockItem>& blocks, int reopenedContainers)
{
    ContentChunk c;
    c.id = QStringLiteral("test");
    c.blocks = blocks;
    c.reopenedContainers = reopenedContainers;
    return c;
}

ChunkLayoutEngine fixedEngine()
{
    return ChunkLayoutEngine(std::make_shared<FixedAdvanceMeasurer>());
}

ChunkLayout layout(const ContentChunk& content, double width, int fontSize, double lineHeight,
                   IBookImageResolver* resolver)
{
    const ChunkLayoutEngine engine = fixedEngine();
    LayoutParams params;
    params.width = width;
    params.fontSize = fontSize;
    params.lineHeight = lineHeight;
    return engine.layoutPreparedChunk(engine.prepareChunk(content, fontSize, resolver), params);
}

QString words(int n)
{
    static const char* const pool[] = {"a", "line", "of", "text", "breaks", "into", "several",
                                       "justified", "lines", "at", "most", "widths"};
    QStringList out;
    for (int i = 0; i < n; ++i)
        out << QString::fromLatin1(pool[(i * 7) % 12]);
    return out.join(u' ');
}

} // namespace ChunkFixture
