// The single-instance guard. The lock file decides who is first: QLockFile
// knows a lock whose process died, so a crash does not lock the user out,
// and a live lock says "another copy runs" even when that copy's socket is
// gone - the later copy still ends and leaves the working database alone.
// The socket only carries the wish to be brought to the front.
//
// Protocol: the later copy sends "activate\n"; the first answers "ok\n" and
// then runs its callback.
#include "platform/ui/singleinstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QEventLoop>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>

namespace ui {

namespace {

const QByteArray kActivate = QByteArrayLiteral("activate");
const QByteArray kOk = QByteArrayLiteral("ok");

/// The folder's name as one spelling: a link and its target are one folder.
QString canonical(const QString& folder)
{
    const QFileInfo fi(folder);
    const QString c = fi.canonicalFilePath();
    return c.isEmpty() ? fi.absoluteFilePath() : c;
}

/// Whether a copy answers on key's socket (used when no lock can be made).
bool somebodyListens(const QString& key)
{
    QLocalSocket s;
    s.connectToServer(key);
    const bool ok = s.waitForConnected(300);
    s.abort();
    return ok;
}

}  // namespace

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent)
    , folder_(canonical(folder))
    , key_(socketPath(folder))
{
}

SingleInstance::~SingleInstance()
{
    if (server_)
        server_->close();
    if (lock_)
        lock_->unlock();
}

QString SingleInstance::lockFilePath(const QString& folder)
{
    return QDir(canonical(folder)).filePath(QStringLiteral("quillabrand.lock"));
}

QString SingleInstance::socketPath(const QString& folder)
{
    const QString dir = canonical(folder);
    const QString inside = QDir(dir).filePath(QStringLiteral("quillabrand.socket"));
    // A socket's address holds at most 107 bytes.
    if (QFile::encodeName(inside).size() < 100)
        return inside;
    const QByteArray hash = QCryptographicHash::hash(QFile::encodeName(dir), QCryptographicHash::Sha1).toHex();
    return QStringLiteral("/tmp/quillabrand-%1.socket").arg(QString::fromLatin1(hash.left(24)));
}

SingleInstance::Role SingleInstance::start()
{
    if (role_ != Role::Undecided)
        return role_;
    lock_ = std::make_unique<QLockFile>(lockFilePath(folder_));
    lock_->setStaleLockTime(0);  // stale only when its process is gone, never by age
    if (!lock_->tryLock(0)) {
        if (lock_->error() == QLockFile::LockFailedError || somebodyListens(key_)) {
            role_ = Role::Secondary;
            return role_;
        }
        // No lock file can be made here (permissions): fall back on the
        // socket alone rather than refuse to start.
        lock_.reset();
    }
    role_ = Role::Primary;
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // We hold the lock, so a socket file left behind is a dead copy's.
    if (lock_)
        QLocalServer::removeServer(key_);
    if (server_->listen(key_))
        connect(server_, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    else
        qWarning("SingleInstance: cannot listen on %s: %s", qPrintable(key_), qPrintable(server_->errorString()));
    return role_;
}

bool SingleInstance::listening() const
{
    return server_ && server_->isListening();
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket* s = server_->nextPendingConnection()) {
        connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        connect(s, &QLocalSocket::readyRead, this, [this, s] {
            while (s->canReadLine()) {
                if (s->readLine().trimmed() != kActivate)
                    continue;
                s->write(kOk + '\n');
                s->flush();
                if (activate_)
                    activate_();
            }
        });
    }
}

bool SingleInstance::activateRunning(int timeoutMs)
{
    if (role_ != Role::Secondary)
        return false;
    QLocalSocket socket;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    bool answered = false;
    QByteArray reply;
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(&socket, &QLocalSocket::connected, &loop, [&] { socket.write(kActivate + '\n'); });
    connect(&socket, &QLocalSocket::readyRead, &loop, [&] {
        reply += socket.readAll();
        if (reply.contains('\n')) {
            answered = reply.left(reply.indexOf('\n')).trimmed() == kOk;
            loop.quit();
        }
    });
    connect(&socket, &QLocalSocket::errorOccurred, &loop, &QEventLoop::quit);
    connect(&socket, &QLocalSocket::disconnected, &loop, &QEventLoop::quit);
    // An event loop rather than blocking waits: the first copy may live in
    // this very process (tests), and only a running loop lets it answer.
    timer.start(timeoutMs);
    socket.connectToServer(key_);
    if (socket.state() != QLocalSocket::UnconnectedState)
        loop.exec();
    socket.abort();
    return answered;
}

}  // namespace ui
