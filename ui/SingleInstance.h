#pragma once

#include <QByteArray>
#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>

namespace ui {

// The parameter block of a hand-over: each parameter in UTF-8 followed by a
// zero byte, and one more zero byte at the end.
QByteArray EncodeParamBlock(const QStringList& Params);
// The parameters up to the first empty one; empty while the block is incomplete
// (Complete tells the two apart).
QStringList DecodeParamBlock(const QByteArray& Block, bool* Complete = nullptr);

// The server name of the running copy, per user; a copy run on a data folder
// of its own (HARVEXIS_DATA_DIR) is a separate installation with its own
// settings, so its name carries the folder too.
QString SingleInstanceServerName(const QString& DataFolder, bool OwnDataFolder);

// One copy of the program per user when the settings do not allow several: a
// second start hands its parameters to the running copy over a local socket
// and ends without a window. The running copy treats them as its own command
// line and comes to the front.
class TSingleInstance : public QObject {
    Q_OBJECT

  public:
    explicit TSingleInstance(QString ServerName, QObject* Parent = nullptr);

    // Sends Params to the running copy and waits for its answer; true when it
    // took them (an empty list only asks it to come to the front).
    bool SendParamsToRunningInstance(const QStringList& Params, int TimeoutMs = 5000) const;
    // Starts answering later starts; false when another live copy already does.
    bool Listen();

  signals:
    // The parameters of a later start, in order (possibly none).
    void ParamsReceived(const QStringList& Params);

  private:
    void OnNewConnection();

    QString Name;
    QLocalServer Server;
};

} // namespace ui
