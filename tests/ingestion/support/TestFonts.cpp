#include "TestFonts.h"

#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QStringList>

QByteArray TestFonts::monospaced(bool bold)
{
    QFile file(bold ? QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf")
                    : QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool TestFonts::isMonospaced(const QString& family)
{
    const QFontMetricsF metrics(QFont(QStringList { family }));
    return metrics.horizontalAdvance(QStringLiteral("iiii")) == metrics.horizontalAdvance(QStringLiteral("WWWW"));
}
