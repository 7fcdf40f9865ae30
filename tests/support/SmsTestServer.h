#pragma once
// A small HTTP server for the SMS gateway's tests and benchmark, listening on 127.0.0.1 only on
// a free port. It reads each request (keep-alive connections, Content-Length bodies), checks
// its signature as docs/sms.md describes, and answers from a script: status, body, a delay, or
// a dropped connection. Runs on the thread that creates it, inside that thread's event loop.
#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <deque>
#include <vector>

class QTcpServer;
class QTcpSocket;

namespace Qd::Test {

class SmsTestServer : public QObject {
public:
    struct Reply {
        int status = 200;
        QByteArray body = QByteArrayLiteral("{\"code\":0}");
        int delayMs = 0;
        bool drop = false;  // close the connection without answering
    };
    struct Request {
        QByteArray path;
        QHash<QByteArray, QByteArray> headers;  // names in lower case
        QByteArray body;
        bool signatureOk = false;  // X-Qd-Signature is the body's HMAC under secret()
        bool keyOk = false;        // X-Qd-Key is appKey()
    };

    explicit SmsTestServer(QByteArray appKey = "demo-key", QByteArray secret = "demo-secret");
    ~SmsTestServer() override;

    QString url() const;  // http://127.0.0.1:<port>/sms
    QByteArray appKey() const { return m_appKey; }
    QByteArray secret() const { return m_secret; }

    // Queues the replies to the next requests; when none is queued, `fallback()` answers.
    void script(const Reply& reply, int times = 1);
    Reply& fallback() { return m_fallback; }
    // Keep the requests' heads and bodies (on by default; the benchmark turns it off).
    void setRecording(bool on) { m_recording = on; }

    const std::vector<Request>& requests() const { return m_requests; }
    int count() const { return m_count; }
    // The msgid of every request received, in order.
    QStringList msgids() const;

    // A URL on 127.0.0.1 where nothing listens: connections are refused.
    static QString refusingUrl();

private:
    void accept();
    void read(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const Request& request);

    QTcpServer* m_server;  // owned
    QByteArray m_appKey;
    QByteArray m_secret;
    std::deque<Reply> m_script;
    Reply m_fallback;
    bool m_recording = true;
    std::vector<Request> m_requests;
    int m_count = 0;
    QHash<QTcpSocket*, QByteArray> m_pending;  // bytes read and not yet a whole request
};

}  // namespace Qd::Test
