#pragma once

#include <QByteArray>
#include <QString>

// What the update host answered.
struct UpdateReply {
    enum class Status {
        Received,       // `bytes` holds the reply
        ConnectFailed,  // no answer from the host
        ReadFailed,     // an answer, but no reply could be read from it
    };
    Status status = Status::ConnectFailed;
    QByteArray bytes;
};

// The update address: IVQA_UPDATE_URL when set, else the vendor's.
QString updateUrl();

// One request with the agent "Ironquiver" and the proxy settings of the
// environment; at most the first 32 bytes of the reply are read. An error
// status (404 and the like) is no reply.
UpdateReply fetchUpdateReply(const QString& url);

// The message boxes' texts for a reply received: the caption is "Success".
QString updateVerdict(const QByteArray& reply);
QString connectFailureText(const QString& url);
