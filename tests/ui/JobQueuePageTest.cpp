#include "jobs/SavedOptions.h"
#include "messaging/SpiderInputMsg.h"
#include "messaging/SpiderOutputMsgTypes.h"
#include "queue/JobQueue.h"
#include "ui/JobQueueFrame.h"
#include "web/StartingURL.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

using namespace queue;
using namespace messaging;

namespace {

struct TSilentPrompts final : TJobQueuePrompts {
    void ShowWarning(const std::string&, const std::string&) override {}
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
};

} // namespace

class JobQueuePageTest : public QObject {
    Q_OBJECT

    QTemporaryDir Data;
    jobs::TSavedOptions Options;
    TSpiderInputMessageQueue Input;
    TSilentPrompts Prompts;
    std::unique_ptr<TJobQueue> Queue;
    std::unique_ptr<ui::TJobQueueFrame> Page;

    void AddJob(const QString& Name) {
        jobs::TCopyJob job;
        job.Reset();
        job.SetDestinationFolder(Data.path().toStdString());
        web::SetStartingURL(job, "http://127.0.0.1:9/" + Name.toStdString() + "/");
        job.JobName = Name.toStdString();
        QCOMPARE(Queue->AddCopyJob(job), ajAdded);
    }
    void Report(std::uint8_t Kind, std::int32_t JobNumber, std::uint8_t Status = 0) {
        TSpiderOutputMsg msg;
        msg.Kind = Kind;
        msg.JobNumber = JobNumber;
        msg.Status = Status;
        Queue->OnSpiderOutput(msg);
    }
    QString SelectedName() const {
        const int row = Page->SelectedRow();
        return Page->JobsListView()->model()->index(row, 1).data().toString();
    }

  private slots:
    void init() {
        Options.Initialize(Data.path().toStdString() + "/");
        Queue = std::make_unique<TJobQueue>(Input, Options, Prompts);
        Queue->SetQueueShown(true);
        Page = std::make_unique<ui::TJobQueueFrame>(*Queue);
    }
    void cleanup() {
        Page.reset();
        Queue.reset();
    }

    // Reports after the add: 0 none, 1 started, else started and ended with that outcome.
    void buttonsFollowStatus_data() {
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("statusText");
        QTest::addColumn<QString>("enabled"); // start, stop, remove as 1 or 0
        QTest::newRow("queued") << 0 << QStringLiteral("Queued") << QStringLiteral("101");
        QTest::newRow("busy") << 1 << QStringLiteral("Busy") << QStringLiteral("010");
        QTest::newRow("complete") << int(joCompleted) << QStringLiteral("Complete") << QStringLiteral("101");
        QTest::newRow("stopped") << int(joStopped) << QStringLiteral("Stopped") << QStringLiteral("101");
        QTest::newRow("aborted") << int(joAborted) << QStringLiteral("Aborted") << QStringLiteral("001");
        QTest::newRow("error") << int(joFailed) << QStringLiteral("Error") << QStringLiteral("101");
    }
    void buttonsFollowStatus() {
        QFETCH(int, outcome);
        QFETCH(QString, statusText);
        QFETCH(QString, enabled);
        AddJob("one");
        Page->SelectRow(0);
        if (outcome >= 1) Report(somJobStarted, 1);
        if (outcome > 1) Report(somJobEnded, 1, std::uint8_t(outcome));
        QAbstractItemModel* model = Page->JobsListView()->model();
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(model->index(0, 0).data().toString(), statusText);
        QVERIFY(!model->index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
        QCOMPARE(model->index(0, 2).data().toString(), QString("http://127.0.0.1:9/one/"));
        const QString actual = QString("%1%2%3").arg(Page->StartJobAction()->isEnabled()).arg(
            Page->StopJobAction()->isEnabled()).arg(Page->DeleteJobAction()->isEnabled());
        QCOMPARE(actual, enabled);
        QVERIFY(!Page->MoveUpAction()->isEnabled() && !Page->MoveDownAction()->isEnabled());
    }

    void rowsFollowQueueWithoutReset() {
        QAbstractItemModel* model = Page->JobsListView()->model();
        QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy resets(model, &QAbstractItemModel::modelReset);
        for (const char* name : {"a", "b", "c"}) AddJob(name);
        Page->SelectRow(1);
        QVERIFY(Page->MoveUpAction()->isEnabled() && Page->MoveDownAction()->isEnabled());
        Page->MoveDownAction()->trigger();
        QCOMPARE(Page->SelectedRow(), 2);
        QCOMPARE(SelectedName(), QString("b"));
        QVERIFY(!Page->MoveDownAction()->isEnabled());
        QVERIFY(Queue->RemoveJob(0));
        QCOMPARE(Page->SelectedRow(), 1);
        QCOMPARE(SelectedName(), QString("b"));
        Report(somJobStarted, Queue->Entry(0).JobNumber);
        QCOMPARE(model->index(0, 0).data().toString(), QString("Busy"));
        QCOMPARE(SelectedName(), QString("b"));
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(resets.count(), 0);
    }
};

QTEST_MAIN(JobQueuePageTest)
#include "JobQueuePageTest.moc"
