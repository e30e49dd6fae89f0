#include "XmlDomLoader.h"

#include <QTest>

class TestXmlDomLoader : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void keepsBlanksBetweenInlineElements();
    void keepsQualifiedNames();
    void flattensDeepNesting();
    void rejectsWhatIsNotWellFormed_data();
    void rejectsWhatIsNotWellFormed();
};

void TestXmlDomLoader::keepsBlanksBetweenInlineElements()
{
    QDomDocument document;
    QVERIFY(XmlDomLoader::load(QStringLiteral("<?xml version=\"1.0\"?><!DOCTYPE html><p><em>one</em> <b>two</b>"
                                              "<![CDATA[ <three> ]]>&#160;four</p>"),
                               &document));
    const QDomElement p = document.documentElement();
    QCOMPARE(p.tagName(), QStringLiteral("p"));
    QCOMPARE(p.text(), QStringLiteral("one two <three> \u00a0four"));
    QCOMPARE(p.childNodes().at(1).nodeValue(), QStringLiteral(" "));
}

void TestXmlDomLoader::keepsQualifiedNames()
{
    QDomDocument document;
    QVERIFY(XmlDomLoader::load(QStringLiteral("<fb:section xmlns:fb=\"urn:x\" xmlns:l=\"urn:l\">"
                                              "<image l:href=\"#a.png\"/><p epub:type=\"note\">n</p></fb:section>"),
                               &document));
    const QDomElement root = document.documentElement();
    QCOMPARE(root.tagName(), QStringLiteral("fb:section"));
    QCOMPARE(root.firstChildElement(QStringLiteral("image")).attribute(QStringLiteral("l:href")), QStringLiteral("#a.png"));
    QCOMPARE(root.firstChildElement(QStringLiteral("p")).attribute(QStringLiteral("epub:type")), QStringLiteral("note"));
}

void TestXmlDomLoader::flattensDeepNesting()
{
    const int levels = 20000;
    QString text;
    for (int i = 0; i < levels; ++i)
        text += QStringLiteral("<div>%1 ").arg(i);
    for (int i = 0; i < levels; ++i)
        text += QStringLiteral("</div>");

    QDomDocument document;
    QVERIFY(XmlDomLoader::load(text, &document));
    int depth = 0;
    for (QDomElement element = document.documentElement(); !element.isNull(); element = element.firstChildElement())
        ++depth;
    QCOMPARE(depth, XmlDomLoader::MaxDepth);
    const QString all = document.documentElement().text();
    QVERIFY(all.startsWith(QLatin1String("0 1 2 ")));
    QVERIFY(all.endsWith(QStringLiteral("%1 ").arg(levels - 1)));
}

void TestXmlDomLoader::rejectsWhatIsNotWellFormed_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("mismatched tags") << "<p>One <b>two</p> three";
    QTest::newRow("undeclared entity") << "<p>a&nbsp;b</p>";
    QTest::newRow("no element") << "just words";
    QTest::newRow("empty") << "";
}

void TestXmlDomLoader::rejectsWhatIsNotWellFormed()
{
    QFETCH(QString, text);
    QDomDocument document;
    QString error;
    QVERIFY(!XmlDomLoader::load(text, &document, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(document.documentElement().isNull());
}

QTEST_GUILESS_MAIN(TestXmlDomLoader)
#include "tst_xmldomloader.moc"
