#include "css/CssComputedStyle.h"

#include "css/CssValues.h"

#include <QHash>

#include <algorithm>

namespace Css {

namespace {

enum Property {
    FontFamily, FontSize, FontWeight, FontStyle, FontVariantCaps, TextTransform, LetterSpacing,
    TextDecorationLine, Color, BackgroundColor, VerticalAlign, TextAlignProperty, TextIndent, LineHeight,
    MarginTop, MarginRight, MarginBottom, MarginLeft,
    PaddingTop, PaddingRight, PaddingBottom, PaddingLeft,
    BorderTopWidth, BorderRightWidth, BorderBottomWidth, BorderLeftWidth,
    BorderTopStyle, BorderRightStyle, BorderBottomStyle, BorderLeftStyle,
    BorderTopColor, BorderRightColor, BorderBottomColor, BorderLeftColor,
    WhiteSpace, DisplayProperty, ListStyleType, Width, Height, MaxWidth, Direction, UnicodeBidiProperty,
    Position, TopOffset, RightOffset, LeftOffset, Filter,
    PropertyCount
};

// Sides in CSS order: top, right, bottom, left.
enum Side { Top, Right, Bottom, Left };

int propertyId(const QString& name)
{
    static const QHash<QString, int> kIds = [] {
        QHash<QString, int> table;
        const char* const names[PropertyCount] = {
            "font-family", "font-size", "font-weight", "font-style", "font-variant-caps", "text-transform",
            "letter-spacing", "text-decoration-line", "color", "background-color", "vertical-align", "text-align",
            "text-indent", "line-height",
            "margin-top", "margin-right", "margin-bottom", "margin-left",
            "padding-top", "padding-right", "padding-bottom", "padding-left",
            "border-top-width", "border-right-width", "border-bottom-width", "border-left-width",
            "border-top-style", "border-right-style", "border-bottom-style", "border-left-style",
            "border-top-color", "border-right-color", "border-bottom-color", "border-left-color",
            "white-space", "display", "list-style-type", "width", "height", "max-width", "direction",
            "unicode-bidi", "position", "top", "right", "left", "filter",
        };
        for (int i = 0; i < PropertyCount; ++i)
            table.insert(QString::fromLatin1(names[i]), i);
        return table;
    }();
    return kIds.value(name, -1);
}

bool isInherited(int id)
{
    switch (id) {
    case FontFamily: case FontSize: case FontWeight: case FontStyle: case FontVariantCaps: case TextTransform:
    case LetterSpacing: case Color: case TextAlignProperty: case TextIndent: case LineHeight: case WhiteSpace:
    case ListStyleType: case Direction:
        return true;
    default:
        return false;
    }
}

// The amount of the first invert() of a filter list: a number or a percentage, 1 without one,
// within 0..1; 0 for none or a list without invert().
double invertAmount(const QString& filter)
{
    const qsizetype start = filter.indexOf(QLatin1String("invert("), 0, Qt::CaseInsensitive);
    if (start < 0)
        return 0;
    const qsizetype open = start + 7;
    const qsizetype close = filter.indexOf(u')', open);
    if (close < 0)
        return 0;
    QString argument = filter.mid(open, close - open).trimmed();
    if (argument.isEmpty())
        return 1;
    const bool percent = argument.endsWith(u'%');
    if (percent)
        argument.chop(1);
    bool ok = false;
    const double amount = argument.toDouble(&ok) / (percent ? 100 : 1);
    return ok ? std::clamp(amount, 0.0, 1.0) : 0;
}

enum class Keyword { None, Inherit, Initial };

Keyword cssWideKeyword(int id, const QString& value)
{
    const QString lower = value.trimmed().toLower();
    if (lower == u"inherit")
        return Keyword::Inherit;
    if (lower == u"initial")
        return Keyword::Initial;
    if (lower == u"unset" || lower == u"revert")
        return isInherited(id) ? Keyword::Inherit : Keyword::Initial;
    return Keyword::None;
}

double& marginField(BoxStyle& box, int side)
{
    switch (side) {
    case Top: return box.marginTop;
    case Right: return box.marginRight;
    case Bottom: return box.marginBottom;
    default: return box.marginLeft;
    }
}

double& paddingField(BoxStyle& box, int side)
{
    switch (side) {
    case Top: return box.paddingTop;
    case Right: return box.paddingRight;
    case Bottom: return box.paddingBottom;
    default: return box.paddingLeft;
    }
}

double& borderField(BoxStyle& box, int side)
{
    switch (side) {
    case Top: return box.borderTop;
    case Right: return box.borderRight;
    case Bottom: return box.borderBottom;
    default: return box.borderLeft;
    }
}

// The declared values of one element, one per property (the last declaration wins).
struct Declared {
    QString values[PropertyCount];
    bool set[PropertyCount] = {};

    explicit Declared(const QList<Declaration>& declarations)
    {
        for (const Declaration& declaration : declarations) {
            for (const Declaration& longhand : expandShorthand(declaration)) {
                const int id = propertyId(longhand.property);
                if (id < 0)
                    continue;
                values[id] = longhand.value.trimmed();
                set[id] = true;
            }
        }
    }
};

class Computer {
public:
    Computer(const ComputedStyle& parent, const QList<Declaration>& declarations, const ParseParams& params)
        : parent(parent), declared(declarations), params(params)
    {
    }

    ComputedStyle run()
    {
        inheritFromParent();
        // The font size first: em lengths of every other property refer to it.
        computeFontSize();
        computeColours();
        computeFont();
        computeText();
        computeBox();
        computeLayoutProperties();
        finish();
        return style;
    }

private:
    // The value to apply, or nothing: CSS-wide keywords are resolved here (inherit copies the
    // parent's field through `inherit`, initial restores the initial value through `initial`).
    template<typename InheritFn, typename InitialFn>
    const QString* value(int id, InheritFn inherit, InitialFn initial)
    {
        if (!declared.set[id])
            return nullptr;
        switch (cssWideKeyword(id, declared.values[id])) {
        case Keyword::Inherit:
            inherit();
            return nullptr;
        case Keyword::Initial:
            initial();
            return nullptr;
        case Keyword::None:
            break;
        }
        return &declared.values[id];
    }

    void inheritFromParent()
    {
        style.text = parent.text;
        style.align = parent.align;
        style.indent = parent.indent;
        style.lineHeightFactor = parent.lineHeightFactor;
        style.lineHeightPx = parent.lineHeightPx;
        style.preformatted = parent.preformatted;
        style.listStyleType = parent.listStyleType;
    }

    double size() const { return style.text.size; }

    void computeFontSize()
    {
        if (const QString* v = value(FontSize, [] {}, [&] { style.text.size = params.baseFontSize; })) {
            double px;
            if (parseFontSize(*v, parent.text.size, params, &px))
                style.text.size = px;
        }
    }

    void computeColours()
    {
        if (const QString* v = value(Color, [] {}, [&] { style.text.colour = QColor(); })) {
            QColor colour;
            // Text is never made invisible: a transparent colour leaves the inherited one.
            if (parseColour(*v, parent.text.colour, &colour) && (!colour.isValid() || colour.alpha() > 0))
                style.text.colour = colour;
        }
        if (const QString* v = value(BackgroundColor, [&] { ownBackground = parentOwnBackground(); }, [] {})) {
            QColor colour;
            if (parseColour(*v, style.text.colour, &colour))
                ownBackground = colour.isValid() && colour.alpha() > 0 ? colour : QColor();
        }
    }

    QColor parentOwnBackground() const
    {
        return parent.display == Display::Inline ? parent.text.background : parent.box.background;
    }

    void computeFont()
    {
        TextStyle& t = style.text;
        if (const QString* v = value(FontFamily, [] {}, [&] { t.families.clear(); })) {
            const QStringList families = parseFontFamilies(*v);
            if (!families.isEmpty())
                t.families = families;
        }
        if (const QString* v = value(FontWeight, [] {}, [&] { t.weight = 400; })) {
            const int weight = parseFontWeight(*v, parent.text.weight);
            if (weight > 0)
                t.weight = weight;
        }
        if (const QString* v = value(FontStyle, [] {}, [&] { t.italic = false; })) {
            const QString lower = v->toLower();
            if (lower == u"normal")
                t.italic = false;
            else if (lower == u"italic" || lower.startsWith(u"oblique"))
                t.italic = true;
        }
        if (const QString* v = value(FontVariantCaps, [] {}, [&] { t.smallCaps = false; })) {
            const QString lower = v->toLower();
            if (lower == u"normal")
                t.smallCaps = false;
            else if (lower.contains(u"small-caps") || lower.contains(u"petite-caps") || lower == u"unicase")
                t.smallCaps = true;
        }
    }

    void computeText()
    {
        computeLetterForms();
        computeDecorationAndShift();
        computeAlignment();
        computeParagraphText();
    }

    // Case and letter spacing.
    void computeLetterForms()
    {
        TextStyle& t = style.text;
        if (const QString* v = value(TextTransform, [] {}, [&] { t.textTransform = TextStyle::NoTransform; })) {
            const QString lower = v->toLower();
            static const QHash<QString, int> kTransforms = {
                { QStringLiteral("none"), TextStyle::NoTransform },
                { QStringLiteral("uppercase"), TextStyle::Uppercase },
                { QStringLiteral("lowercase"), TextStyle::Lowercase },
                { QStringLiteral("capitalize"), TextStyle::Capitalize },
            };
            t.textTransform = kTransforms.value(lower, t.textTransform);
        }
        if (const QString* v = value(LetterSpacing, [] {}, [&] { t.letterSpacing = 0; })) {
            double px;
            if (v->compare(u"normal", Qt::CaseInsensitive) == 0)
                t.letterSpacing = 0;
            else if (!v->endsWith(u'%') && parseLength(*v, size(), params, &px))
                t.letterSpacing = px;
        }
    }

    // Decoration lines and the baseline shift.
    void computeDecorationAndShift()
    {
        TextStyle& t = style.text;
        // Decorations of the ancestors stay drawn under the element's own (as in CSS, a
        // descendant cannot take them away); "inherit" and "initial" add nothing of its own.
        if (const QString* v = value(TextDecorationLine, [] {}, [] {})) {
            const QString lower = v->toLower();
            t.underline = t.underline || lower.contains(u"underline");
            t.overline = t.overline || lower.contains(u"overline");
            t.lineThrough = t.lineThrough || lower.contains(u"line-through");
        }
        if (const QString* v = value(VerticalAlign, [] {}, [] {})) {
            const QString lower = v->toLower();
            double px;
            if (lower == u"super")
                ownShift = parent.text.size * 0.33;
            else if (lower == u"sub")
                ownShift = -parent.text.size * 0.2;
            else if (lower.endsWith(u'%'))
                ownShift = size() * 1.2 * lower.chopped(1).toDouble() / 100.0; // of a line height of 1.2 em
            else if (parseLength(lower, size(), params, &px))
                ownShift = px;
        }
    }

    // Alignment, direction and bidi embedding.
    void computeAlignment()
    {
        TextStyle& t = style.text;
        if (const QString* v = value(TextAlignProperty, [] {}, [&] { style.align = Align::Justify; })) {
            const QString lower = v->toLower();
            if (lower == u"left" || lower == u"-webkit-left")
                style.align = Align::Left;
            else if (lower == u"right" || lower == u"-webkit-right")
                style.align = Align::Right;
            else if (lower == u"start")
                style.align = Align::Start;
            else if (lower == u"end")
                style.align = Align::End;
            else if (lower == u"center" || lower == u"-webkit-center")
                style.align = Align::Center;
            else if (lower == u"justify")
                style.align = Align::Justify;
        }
        if (const QString* v = value(Direction, [] {}, [&] { t.direction = TextDirection::LeftToRight; })) {
            const QString lower = v->toLower();
            if (lower == u"ltr")
                t.direction = TextDirection::LeftToRight;
            else if (lower == u"rtl")
                t.direction = TextDirection::RightToLeft;
        }
        // Kept by the runs inside as the embedding they are reordered in, though CSS does not
        // inherit it: the runs of a span lie in its embedding.
        if (const QString* v = value(UnicodeBidiProperty, [&] { t.unicodeBidi = parent.text.unicodeBidi; },
                                     [&] { t.unicodeBidi = UnicodeBidi::Normal; })) {
            static const QHash<QString, UnicodeBidi> kBidiKinds = {
                { QStringLiteral("normal"), UnicodeBidi::Normal },
                { QStringLiteral("embed"), UnicodeBidi::Embed },
                { QStringLiteral("isolate"), UnicodeBidi::Isolate },
                { QStringLiteral("-webkit-isolate"), UnicodeBidi::Isolate },
                { QStringLiteral("bidi-override"), UnicodeBidi::BidiOverride },
                { QStringLiteral("isolate-override"), UnicodeBidi::IsolateOverride },
                { QStringLiteral("plaintext"), UnicodeBidi::Plaintext },
            };
            t.unicodeBidi = kBidiKinds.value(v->toLower(), t.unicodeBidi);
        }
    }

    // Indent, line height, white space and list marker.
    void computeParagraphText()
    {
        if (const QString* v = value(TextIndent, [] {}, [&] { style.indent = 0; })) {
            const QStringList parts = splitValue(*v);
            double px;
            if (!parts.isEmpty() && parseLength(parts.first(), size(), params, &px))
                style.indent = px;
        }
        if (const QString* v = value(LineHeight, [] {}, [&] { style.lineHeightFactor = style.lineHeightPx = 0; }))
            computeLineHeight(*v);
        if (const QString* v = value(WhiteSpace, [] {}, [&] { style.preformatted = false; })) {
            const QString lower = v->toLower();
            if (lower == u"pre" || lower == u"pre-wrap" || lower == u"break-spaces")
                style.preformatted = true;
            else if (lower == u"normal" || lower == u"nowrap" || lower == u"pre-line")
                style.preformatted = false;
        }
        if (const QString* v = value(ListStyleType, [] {}, [&] { style.listStyleType = QStringLiteral("disc"); })) {
            const QString lower = v->toLower();
            static const QStringList kListStyleTypes = {
                QStringLiteral("disc"), QStringLiteral("circle"), QStringLiteral("square"), QStringLiteral("decimal"),
                QStringLiteral("decimal-leading-zero"), QStringLiteral("lower-roman"), QStringLiteral("upper-roman"),
                QStringLiteral("lower-alpha"), QStringLiteral("upper-alpha"), QStringLiteral("lower-latin"),
                QStringLiteral("upper-latin"), QStringLiteral("lower-greek"), QStringLiteral("none"),
            };
            if (kListStyleTypes.contains(lower))
                style.listStyleType = lower;
            else if (v->size() >= 2 && (v->startsWith(u'"') || v->startsWith(u'\'')) && v->endsWith(v->at(0)))
                style.listStyleType = *v;
        }
    }

    void computeLineHeight(const QString& v)
    {
        const QString lower = v.toLower();
        if (lower == u"normal") {
            style.lineHeightFactor = style.lineHeightPx = 0;
            return;
        }
        bool isNumber = false;
        const double factor = lower.toDouble(&isNumber);
        if (isNumber) {
            if (factor > 0 && factor < 100) {
                style.lineHeightFactor = factor;
                style.lineHeightPx = 0;
            }
            return;
        }
        double px;
        if (lower.endsWith(u'%')) {
            bool ok = false;
            const double percent = lower.chopped(1).toDouble(&ok);
            if (!ok || percent <= 0)
                return;
            px = size() * percent / 100.0;
        } else if (!parseLength(lower, size(), params, &px) || px <= 0) {
            return;
        }
        style.lineHeightPx = px;
        style.lineHeightFactor = 0;
    }

    void computeBox()
    {
        BoxStyle& box = style.box;
        for (int side = Top; side <= Left; ++side) {
            if (const QString* v = value(MarginTop + side, [&] { marginField(box, side) = parentBox.marginSide(side); }, [] {})) {
                double px;
                if (v->compare(u"auto", Qt::CaseInsensitive) == 0)
                    marginField(box, side) = 0;
                else if (parseLength(*v, size(), params, &px))
                    marginField(box, side) = std::max(0.0, px); // negative margins are not drawn
            }
            if (const QString* v = value(PaddingTop + side, [&] { paddingField(box, side) = parentBox.paddingSide(side); }, [] {})) {
                double px;
                if (parseLength(*v, size(), params, &px) && px >= 0)
                    paddingField(box, side) = px;
            }
            if (const QString* v = value(BorderTopWidth + side, [&] { borderWidth[side] = parentBorder(side); }, [] {})) {
                double px;
                if (parseBorderWidth(*v, size(), params, &px))
                    borderWidth[side] = px;
            }
            if (const QString* v = value(BorderTopStyle + side, [&] { borderStyle[side] = parentBorder(side) > 0 ? QStringLiteral("solid") : QString(); }, [] {})) {
                if (isBorderStyle(*v))
                    borderStyle[side] = v->toLower();
            }
            if (const QString* v = value(BorderTopColor + side, [&] { borderColour[side] = parent.box.borderColour; }, [] {})) {
                QColor colour;
                if (parseColour(*v, style.text.colour, &colour))
                    borderColour[side] = colour.isValid() && colour.alpha() > 0 ? colour : QColor();
            }
        }
        QColor explicitColour;
        bool anyBorder = false;
        for (int side = Top; side <= Left; ++side) {
            const bool drawn = !borderStyle[side].isEmpty() && borderStyle[side] != u"none" && borderStyle[side] != u"hidden";
            borderField(box, side) = drawn ? borderWidth[side] : 0;
            if (borderField(box, side) > 0) {
                anyBorder = true;
                if (!explicitColour.isValid() && borderColour[side].isValid())
                    explicitColour = borderColour[side];
            }
        }
        box.borderColour = anyBorder ? (explicitColour.isValid() ? explicitColour : style.text.colour) : QColor();
        box.background = ownBackground;

        // A rule is drawn in its border colour even when the border itself has no width.
        style.ruleColour = QColor();
        for (int side : { Top, Bottom, Left, Right }) {
            if (!style.ruleColour.isValid() && borderColour[side].isValid())
                style.ruleColour = borderColour[side];
        }
        if (!style.ruleColour.isValid())
            style.ruleColour = ownBackground.isValid() ? ownBackground : style.text.colour;
    }

    double parentBorder(int side) const { return parentBox.borderSide(side); }

    void computeLayoutProperties()
    {
        if (const QString* v = value(DisplayProperty, [&] { style.display = parent.display; }, [] {})) {
            const QString lower = v->toLower();
            if (lower == u"none")
                style.display = Display::None;
            else if (lower == u"list-item" || lower.contains(u"list-item"))
                style.display = Display::ListItem;
            else if (lower.startsWith(u"inline") || lower == u"contents" || lower == u"ruby" || lower == u"ruby-text")
                style.display = Display::Inline;
            else if (lower == u"block" || lower.startsWith(u"table") || lower == u"flex" || lower == u"grid"
                     || lower == u"flow-root" || lower == u"run-in" || lower.startsWith(u"block "))
                style.display = Display::Block;
        }
        auto size = [&](int id, double* field, const char16_t* none) {
            if (const QString* v = value(id, [] {}, [&] { *field = -1; })) {
                double px;
                if (v->compare(QStringView(none), Qt::CaseInsensitive) == 0)
                    *field = -1;
                else if (parseLength(*v, this->size(), params, &px) && px >= 0)
                    *field = px;
            }
        };
        size(Width, &style.width, u"auto");
        size(Height, &style.height, u"auto");
        size(MaxWidth, &style.maxWidth, u"none");
        if (const QString* v = value(Filter, [&] { style.invert = parent.invert; }, [&] { style.invert = 0; }))
            style.invert = invertAmount(*v);
        if (placedOffThePage())
            style.display = Display::None;
    }

    // Books hide text meant for screen readers only (a title page's heading beside its drawing) by
    // placing it far outside the page: `position: absolute; left: -999em`. The column has no
    // positioned boxes, so such an element is left out, as a reader of the page never sees it.
    bool placedOffThePage()
    {
        const QString* position = value(Position, [] {}, [] {});
        if (!position || (position->compare(u"absolute", Qt::CaseInsensitive) != 0
                          && position->compare(u"fixed", Qt::CaseInsensitive) != 0))
            return false;
        for (const int id : {TopOffset, RightOffset, LeftOffset}) {
            double px;
            const QString* offset = value(id, [] {}, [] {});
            if (offset && parseLength(*offset, size(), params, &px) && px < -params.referenceWidth)
                return true;
        }
        return false;
    }

    void finish()
    {
        if (style.display == Display::Inline) {
            // An inline element paints its background behind its runs, and its descendants' runs.
            style.text.background = ownBackground.isValid() ? ownBackground : parent.text.background;
            style.text.baselineShift = parent.text.baselineShift + ownShift;
        } else {
            style.text.background = QColor();
            style.text.baselineShift = 0;
        }
    }

    // Read-only views of the parent's box by CSS side.
    struct ParentBox {
        BoxStyle box;
        double marginSide(int side) { return marginField(box, side); }
        double paddingSide(int side) { return paddingField(box, side); }
        double borderSide(int side) { return borderField(box, side); }
    };

    const ComputedStyle& parent;
    mutable ParentBox parentBox { parent.box };
    Declared declared;
    const ParseParams& params;
    ComputedStyle style;
    QColor ownBackground;
    double ownShift = 0;
    double borderWidth[4] = { 3, 3, 3, 3 }; // "medium", drawn only with a style
    QString borderStyle[4];
    QColor borderColour[4];
};

} // namespace

bool ComputedStyle::supports(const Declaration& declaration)
{
    for (const Declaration& longhand : expandShorthand(declaration)) {
        if (propertyId(longhand.property) >= 0)
            return true;
    }
    return false;
}

ComputedStyle ComputedStyle::initial(const ParseParams& params)
{
    ComputedStyle style;
    style.text.size = params.baseFontSize;
    style.display = Display::Block;
    return style;
}

ComputedStyle ComputedStyle::compute(const ComputedStyle& parent, const QList<Declaration>& declarations,
                                     const ParseParams& params)
{
    return Computer(parent, declarations, params).run();
}

TextAlign ComputedStyle::paragraphAlign() const
{
    const bool rightToLeft = text.direction == TextDirection::RightToLeft;
    switch (align) {
    case Align::Justify:
        return TextAlign::Justify;
    case Align::Left:
        return TextAlign::Left;
    case Align::Center:
        return TextAlign::Center;
    case Align::Right:
        return TextAlign::Right;
    case Align::Start:
        return rightToLeft ? TextAlign::Right : TextAlign::Left;
    case Align::End:
        return rightToLeft ? TextAlign::Left : TextAlign::Right;
    }
    return TextAlign::Justify;
}

double ComputedStyle::paragraphLineHeight() const
{
    if (lineHeightFactor > 0)
        return lineHeightFactor;
    if (lineHeightPx > 0 && text.size > 0)
        return lineHeightPx / text.size;
    return 0;
}

bool ComputedStyle::hasBox() const
{
    return box.marginTop > 0 || box.marginBottom > 0 || box.marginLeft > 0 || box.marginRight > 0
        || box.paddingTop > 0 || box.paddingBottom > 0 || box.paddingLeft > 0 || box.paddingRight > 0
        || box.borderTop > 0 || box.borderBottom > 0 || box.borderLeft > 0 || box.borderRight > 0
        || box.background.isValid();
}

} // namespace Css
