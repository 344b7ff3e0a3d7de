#include "messaging/SpiderInputMsg.h"
#include "queue/CopyProgress.h"
#include "ui/CopyProgressFrame.h"

#include <QAbstractItemModelTester>
#include <QTableView>
#include <QtTest>

using namespace messaging;

class CopyProgressPageTest : public QObject {
    Q_OBJECT

  private slots:
    // Reports reach the lists only at a flush, and then as rows.
    void showsRowsAfterAFlush() {
        TSpiderInputMessageQueue input;
        queue::TCopyProgress progress(input, [] { return true; });
        ui::TCopyProgressFrame page(progress);
        QAbstractItemModelTester completedTester(page.CompletedView()->model());
        QAbstractItemModelTester activeTester(page.ActiveView()->model());
        TSpiderOutputMsg msg;
        msg.Kind = somJobStarted;
        msg.JobNumber = 3;
        progress.OnSpiderOutput(msg);
        msg.FileDownload.Address.SetFullURL("http://127.0.0.1:8/a.htm");
        for (auto [kind, number] : {std::pair{somDownloadStarted, 1}, {somDownloadStarted, 2}, {somDownloadEnded, 1}}) {
            msg.Kind = kind;
            msg.FileDownload.DownloadNumber = number;
            msg.FileDownload.Results.Outcome = doCompleted;
            msg.FileDownload.Results.StatusCode = 404;
            msg.FileDownload.Results.StatusText = "Not Found";
            progress.OnSpiderOutput(msg);
        }
        QCOMPARE(page.CompletedView()->model()->rowCount(), 0);

        progress.Flush();
        const QAbstractItemModel* completed = page.CompletedView()->model();
        QCOMPARE(completed->rowCount(), 1);
        QCOMPARE(completed->index(0, 0).data().toString(), QStringLiteral("Not Found"));
        QCOMPARE(completed->index(0, 1).data().toString(), QStringLiteral("http://127.0.0.1:8/a.htm"));
        QCOMPARE(page.ActiveView()->model()->rowCount(), 1);
        QCOMPARE(page.ActiveView()->model()->index(0, 0).data().toString(), QStringLiteral("Downloading"));
        QCOMPARE(page.DownloadCaption(), QStringLiteral("Download Progress: 1 of 1"));
    }
};

QTEST_MAIN(CopyProgressPageTest)
#include "CopyProgressPageTest.moc"
