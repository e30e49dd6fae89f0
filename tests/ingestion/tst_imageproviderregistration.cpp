#include "formats/FormatRegistry.h"

#include <QQmlEngine>
#include <QQuickAsyncImageProvider>
#include <QQuickImageResponse>
#include <QSignalSpy>
#include <QTest>

#include <atomic>

namespace {

class NullSource : public IByteSource {
public:
    bool open(const QString&) override { return false; }
    QStringList listEntries() const override { return {}; }
    QByteArray readEntry(const QString&) const override { return {}; }
    QByteArray contentHash() const override { return {}; }
};

SourceFactory countingFactory(std::atomic<int>& calls)
{
    return [&calls]() -> std::unique_ptr<IByteSource> {
        ++calls;
        return std::make_unique<NullSource>();
    };
}

FormatSpec row(const QString& extension, const QString& scheme, SourceFactory factory)
{
    FormatSpec spec;
    spec.extension = extension;
    spec.scheme = scheme;
    spec.sourceFactory = std::move(factory);
    return spec;
}

} // namespace

class TestImageProviderRegistration : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void onePerSchemeWithASource()
    {
        std::atomic<int> first{0};
        std::atomic<int> second{0};
        std::atomic<int> other{0};
        const FormatRegistry registry({row(QStringLiteral("fb2"), QStringLiteral("fb2"), countingFactory(first)),
                                       row(QStringLiteral("fbz"), QStringLiteral("fb2"), countingFactory(second)),
                                       row(QStringLiteral("cbz"), QStringLiteral("cbz"), countingFactory(other)),
                                       row(QStringLiteral("txt"), QString(), countingFactory(other)),
                                       row(QStringLiteral("x"), QStringLiteral("nosource"), SourceFactory())});
        QQmlEngine engine;
        registry.registerImageProviders(engine);
        QVERIFY(engine.imageProvider(QStringLiteral("fb2")));
        QVERIFY(engine.imageProvider(QStringLiteral("cbz")));
        QVERIFY(!engine.imageProvider(QStringLiteral("nosource")));
        QVERIFY(!engine.imageProvider(QString()));

        // The scheme's provider is built with the first row's factory.
        auto* fb2 = static_cast<QQuickAsyncImageProvider*>(engine.imageProvider(QStringLiteral("fb2")));
        std::unique_ptr<QQuickImageResponse> response(fb2->requestImageResponse(QStringLiteral("cover.jpg?src=%2Fb.fb2"), QSize()));
        QSignalSpy finished(response.get(), &QQuickImageResponse::finished);
        QVERIFY(finished.wait());
        QCOMPARE(first.load(), 1);
        QCOMPARE(second.load(), 0);
    }
};

QTEST_MAIN(TestImageProviderRegistration)
#include "tst_imageproviderregistration.moc"
