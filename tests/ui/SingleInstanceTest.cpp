#include "ui/SingleInstance.h"

#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <fstream>
#include <future>

using namespace ui;

class SingleInstanceTest : public QObject {
    Q_OBJECT

  private slots:
    void paramBlock_data() {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<QStringList>("params");
        QTest::newRow("none") << QByteArray("\0", 1) << true << QStringList{};
        QTest::newRow("two") << QByteArray("a b\0--edit\0\0", 13) << true << QStringList{"a b", "--edit"};
        QTest::newRow("unfinished") << QByteArray("a\0", 2) << false << QStringList{};
        QTest::newRow("ends at the empty one") << QByteArray("a\0\0b\0\0", 6) << true << QStringList{"a"};
    }
    void paramBlock() {
        QFETCH(QByteArray, block);
        QFETCH(bool, complete);
        QFETCH(QStringList, params);
        bool whole = !complete;
        QCOMPARE(DecodeParamBlock(block, &whole), params);
        QCOMPARE(whole, complete);
        if (complete && params.size() < 2) QCOMPARE(DecodeParamBlock(EncodeParamBlock(params)), params);
    }

    // The second copy waits for the first one's answer, so it sends from its own thread.
    void handOverReachesTheRunningCopy() {
        const QString name = SingleInstanceServerName(QDir::tempPath(), true) + "-test";
        TSingleInstance first(name);
        QVERIFY(first.Listen());
        QVERIFY(!TSingleInstance(name).Listen());
        QSignalSpy received(&first, &TSingleInstance::ParamsReceived);
        const QStringList params{"/tmp/a job.hcj", "--edit", "http://127.0.0.1:9/\u00e4/"};
        auto sent = std::async(std::launch::async, [&] { return TSingleInstance(name).SendParamsToRunningInstance(params); });
        QVERIFY(received.wait(10000));
        QCOMPARE(received.first().first().toStringList(), params);
        QVERIFY(sent.get());
        QVERIFY(!TSingleInstance(name + "-none").SendParamsToRunningInstance(params, 2000));
    }

    // The whole program: a second start hands over and ends; SIGTERM ends the first cleanly.
    void secondStartEndsInOneProcess() {
        QTemporaryDir data;
        std::ofstream(data.filePath("Harvexis.INI").toStdString()) << "[Options]\nAllowMultipleInstances=0\n";
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HARVEXIS_DATA_DIR", data.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        QProcess first, second;
        first.setProcessEnvironment(env);
        second.setProcessEnvironment(env);
        first.start(HARVEXIS_UI_PATH, {});
        QVERIFY(first.waitForStarted());
        const QString name = SingleInstanceServerName(data.path() + "/", true);
        QTRY_VERIFY_WITH_TIMEOUT(([&] { QLocalSocket probe; probe.connectToServer(name); return probe.waitForConnected(100); })(), 20000);
        second.start(HARVEXIS_UI_PATH, {"--edit", "http://127.0.0.1:9/x/"});
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);
        first.terminate();
        QVERIFY(first.waitForFinished(20000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 0);
    }
};

QTEST_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
