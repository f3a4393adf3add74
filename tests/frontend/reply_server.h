#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <mutex>
#include <thread>

// An HTTP server on 127.0.0.1 that answers every request with one fixed
// status and body, on a thread of its own (the update check blocks the GUI
// thread while it waits), and keeps the last request's head.
class ReplyServer {
public:
    explicit ReplyServer(QByteArray body, int status = 200);
    ~ReplyServer();
    ReplyServer(const ReplyServer&) = delete;
    ReplyServer& operator=(const ReplyServer&) = delete;

    QString url(const QString& path) const;
    QByteArray lastRequest() const;

    // A URL on 127.0.0.1 where nothing listens.
    static QString closedUrl(const QString& path);

private:
    void serve();

    QByteArray body_;
    int status_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    QByteArray lastRequest_;
    std::thread thread_;
};
