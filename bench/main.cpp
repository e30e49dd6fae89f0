// vellora-bench: opens each book named on the command line through the format table and the real
// readers and prints one line of key=value figures per book; --dump adds the book's content.
// A book that fails prints ok=0 and the run goes on; the exit status is 0 unless it could not run.

#include "BookFigures.h"
#include "BookImageResolver.h"
#include "formats/DefaultFormats.h"
#include "LayoutFigures.h"
#include "WebImageProvider.h"

#include <QGuiApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    // Headless by default: the figures need fonts and images, never a window.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QStringList arguments = app.arguments().mid(1);
    LayoutFigures::Options layoutOptions;
    QString error;
    if (!LayoutFigures::Options::takeFrom(arguments, layoutOptions, &error)) {
        QTextStream(stderr) << "vellora-bench: " << error << '\n';
        return 2;
    }
    bool dump = false;
    QStringList books;
    for (const QString& argument : std::as_const(arguments)) {
        if (argument == QLatin1String("--dump"))
            dump = true;
        else
            books << argument;
    }
    QTextStream out(stdout);
    if (books.isEmpty()) {
        QTextStream(stderr) << "usage: vellora-bench [--dump] [--dump-lines] [--dump-runs] [--width N] [--font-size N]"
                               " [--line-spacing X] BOOK...\n";
        return 2;
    }

    const FormatRegistry registry(DefaultFormats::table());
    // The figures are the book's own: remote images are not fetched, and no disk cache is touched.
    WebImageProvider offline(nullptr, [](const QString&) { return QByteArray(); });
    for (const QString& path : books) {
        BookImageResolver resolver(
            [&registry](const QString& scheme) { return registry.createByteSourceForScheme(scheme); }, &offline);
        const BookFigures book(registry, path);
        QStringList fields = book.fields();
        QStringList layoutDump;
        if (book.ok() && book.reader()->contentKind() == ContentKind::Text) {
            LayoutFigures layout = LayoutFigures::measure(book.reader()->chunks(), book.openMs(), layoutOptions, &resolver);
            fields += layout.fields;
            layoutDump = layout.dump;
        }
        // Last, so that the memory high-water mark covers the layout too.
        fields << BookFigures::peakRssField();
        out << fields.join(QLatin1Char(' ')) << '\n';
        if (dump) {
            for (const QString& line : book.dumpLines())
                out << line << '\n';
        }
        for (const QString& line : std::as_const(layoutDump))
            out << line << '\n';
        out.flush();
    }
    return 0;
}
