#include "NativeFileDialogService.h"

#include <QTest>

class TestNativeFileDialogService : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void filter_data()
    {
        QTest::addColumn<QStringList>("extensions");
        QTest::addColumn<QString>("filter");
        QTest::newRow("two") << QStringList{"cbz", "fb2.zip"} << "Book files (*.cbz *.fb2.zip);;All files (*)";
        QTest::newRow("none") << QStringList{} << "Book files ();;All files (*)";
    }
    void filter()
    {
        QFETCH(QStringList, extensions);
        QFETCH(QString, filter);
        QCOMPARE(NativeFileDialogService::filterFor(extensions), filter);
    }
};

QTEST_GUILESS_MAIN(TestNativeFileDialogService)
#include "tst_nativefiledialogservice.moc"
