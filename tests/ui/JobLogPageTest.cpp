#include "messaging/SpiderOutputMsgTypes.h"
#include "queue/JobLog.h"
#include "ui/JobLogFrame.h"
#include "web/StartingURL.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

class JobLogPageTest : public QObject {
    Q_OBJECT

    QTemporaryDir Data;
    std::unique_ptr<queue::TJobLog> Log;
    std::unique_ptr<ui::TJobLogFrame> Page;

    QAbstractItemModel* Model() const { return Page->CompletedJobsList()->model(); }
    QString FileText() const {
        QFile file(QString::fromStdString(Log->FilePath()));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    QStringList Names() const {
        QStringList names;
        for (int row = 0; row < Model()->rowCount(); ++row) names << Model()->index(row, 0).data().toString();
        return names;
    }

  private slots:
    void init() {
        Log = std::make_unique<queue::TJobLog>(Data.path().toStdString() + "/");
        Page = std::make_unique<ui::TJobLogFrame>(*Log);
        new QAbstractItemModelTester(Model(), QAbstractItemModelTester::FailureReportingMode::QtTest, Page.get());
        for (const char* name : {"alpha", "beta", "gamma"}) Log->AddRow({name, "today", "http://127.0.0.1/", ""});
    }
    void cleanup() {
        Page.reset();
        Log.reset();
    }

    void jobEndedReportShowsRowAndIsSaved() {
        messaging::TSpiderOutputMsg msg;
        msg.Kind = messaging::somJobEnded;
        msg.Job.Reset();
        msg.Job.JobName = "ended \"job\"";
        web::SetStartingURL(msg.Job, "http://127.0.0.1:9/site/");
        msg.StartPageFile = Data.filePath("site/index.html").toStdString();
        Log->OnSpiderOutput(msg);
        QCOMPARE(Model()->rowCount(), 4);
        QCOMPARE(Model()->index(3, 0).data().toString(), QStringLiteral("ended \"job\""));
        QCOMPARE(Model()->index(3, 2).data().toString(), QStringLiteral("http://127.0.0.1:9/site/"));
        QVERIFY(FileText().contains("\"ended \"\"job\"\"\""));
    }

    // Rows named by the selection go in one click, the others stay.
    void renameAndRemoveThroughThePage_data() {
        QTest::addColumn<QString>("newName"); // empty: remove the selection instead
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("rename") << "renamed" << QList<int>{1} << QStringList{"alpha", "renamed", "gamma"};
        QTest::newRow("remove two") << QString() << QList<int>{0, 2} << QStringList{"beta"};
        QTest::newRow("remove all") << QString() << QList<int>{0, 1, 2} << QStringList{};
    }
    void renameAndRemoveThroughThePage() {
        QFETCH(QString, newName);
        QFETCH(QList<int>, selected);
        QFETCH(QStringList, names);
        auto* remove = Page->findChild<QPushButton*>("RemoveFromLogButton");
        QVERIFY(!remove->isEnabled());
        for (int row : selected)
            Page->CompletedJobsList()->selectionModel()->select(
                Model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QVERIFY(remove->isEnabled());
        if (newName.isEmpty()) remove->click();
        else QVERIFY(Model()->setData(Model()->index(selected.first(), 0), newName));
        QCOMPARE(Names(), names);
        for (const char* name : {"alpha", "beta", "gamma", "renamed"})
            QCOMPARE(FileText().contains(QString("\"%1\"").arg(name)), names.contains(name));
    }
};

QTEST_MAIN(JobLogPageTest)
#include "JobLogPageTest.moc"
