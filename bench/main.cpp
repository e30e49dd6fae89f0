// vellora-bench: opens each book named on the command line through the format table and the real
// readers and prints one line of key=value figures per book; --dump adds the book's content.
// A book that fails prints ok=0 and the run goes on; the exit status is 0 unless it could not run.

#include "BookFigures.h"
#include "DefaultFormats.h"

#include <QGuiApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    // Headless by default: the figures need fonts and images, never a window.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    bool dump = false;
    QStringList books;
    for (const QString& argument : app.arguments().mid(1)) {
        if (argument == QLatin1String("--dump"))
            dump = true;
        else
            books << argument;
    }
    QTextStream out(stdout);
    if (books.isEmpty()) {
        QTextStream(stderr) << "usage: vellora-bench [--dump] BOOK...\n";
        return 2;
    }

    const FormatRegistry registry(DefaultFormats::table());
    for (const QString& path : books) {
        const BookFigures book(registry, path);
        QStringList fields = book.fields();
        // Layout figures join the line here, before the memory high-water mark that covers them.
        fields << BookFigures::peakRssField();
        out << fields.join(QLatin1Char(' ')) << '\n';
        if (dump) {
            for (const QString& line : book.dumpLines())
                out << line << '\n';
        }
        out.flush();
    }
    return 0;
}
