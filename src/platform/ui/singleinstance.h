// One copy of the program per program folder, the folder that holds the
// working database. The first copy holds a lock file in that folder and
// listens on a local socket named after it; a later copy finds the lock
// taken, asks the first over the socket to come to the front, and must then
// end before it touches anything else - also when the first copy cannot be
// reached. Nothing of it depends on the temporary folder or the user's
// environment: copies started with another TMPDIR or HOME meet the same lock.
//
//   ui::SingleInstance guard(general::programFolder());
//   if (guard.start() == ui::SingleInstance::Role::Secondary) {
//       guard.activateRunning();
//       return 0;
//   }
//   guard.onActivate([&] { ui::bringToFront(&mainWindow); });
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;
class QLockFile;

namespace ui {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Role { Undecided, Primary, Secondary };

    /// folder is the program folder: one copy runs on it at a time.
    explicit SingleInstance(const QString& folder, QObject* parent = nullptr);
    ~SingleInstance() override;

    /// Decides once which copy this is; later calls return the same role.
    /// A lock left by a copy that died does not count.
    Role start();
    Role role() const { return role_; }

    /// Secondary only: asks the running copy to come to the front and waits
    /// up to timeoutMs for its answer. False when it could not be reached;
    /// this copy must end either way.
    bool activateRunning(int timeoutMs = 2000);

    /// Primary only: what to do when a later copy asks (bring the main
    /// window to the front). Until one is set, requests are still answered.
    void onActivate(std::function<void()> callback) { activate_ = std::move(callback); }
    /// Primary only: whether later copies can reach this one.
    bool listening() const;

    /// Where the lock of folder lives: inside it.
    static QString lockFilePath(const QString& folder);
    /// The local socket of folder: inside it, or for a folder whose name is
    /// too long for a socket, in /tmp under a name made from the folder's.
    static QString socketPath(const QString& folder);

private:
    void acceptConnections();

    QString folder_;
    QString key_;   ///< the socket
    Role role_ = Role::Undecided;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
    std::function<void()> activate_;
};

}  // namespace ui
