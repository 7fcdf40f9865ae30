#include "support/SmsTestServer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace Qd::Test {

SmsTestServer::SmsTestServer(QByteArray appKey, QByteArray secret)
    : m_server(new QTcpServer(this)), m_appKey(std::move(appKey)), m_secret(std::move(secret)) {
    m_server->listen(QHostAddress::LocalHost, 0);
    connect(m_server, &QTcpServer::newConnection, this, &SmsTestServer::accept);
}

SmsTestServer::~SmsTestServer() = default;

QString SmsTestServer::url() const {
    return QStringLiteral("http://127.0.0.1:%1/sms").arg(m_server->serverPort());
}

QString SmsTestServer::refusingUrl() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("http://127.0.0.1:%1/sms").arg(port);
}

void SmsTestServer::script(const Reply& reply, int times) {
    for (int i = 0; i < times; ++i)
        m_script.push_back(reply);
}

QStringList SmsTestServer::msgids() const {
    QStringList out;
    for (const Request& r : m_requests)
        out << QJsonDocument::fromJson(r.body).object().value(QStringLiteral("msgid")).toString();
    return out;
}

void SmsTestServer::accept() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_pending.remove(socket);
            socket->deleteLater();
        });
    }
}

// Takes every whole request out of the bytes read so far.
void SmsTestServer::read(QTcpSocket* socket) {
    QByteArray& buffer = m_pending[socket];
    buffer += socket->readAll();
    for (;;) {
        const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
        Request request;
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.path = first.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                       lines[i].mid(colon + 1).trimmed());
        }
        const qsizetype length = request.headers.value("content-length").toLongLong();
        if (buffer.size() < headEnd + 4 + length)
            return;
        request.body = buffer.mid(headEnd + 4, length);
        buffer.remove(0, headEnd + 4 + length);
        const QByteArray expected =
            QMessageAuthenticationCode::hash(request.body, m_secret, QCryptographicHash::Sha256)
                .toHex();
        request.signatureOk = request.headers.value("x-qd-signature") == expected;
        request.keyOk = request.headers.value("x-qd-key") == m_appKey;
        answer(socket, request);
    }
}

void SmsTestServer::answer(QTcpSocket* socket, const Request& request) {
    ++m_count;
    if (m_recording)
        m_requests.push_back(request);
    Reply reply = m_fallback;
    if (!m_script.empty()) {
        reply = m_script.front();
        m_script.pop_front();
    }
    if (reply.drop) {
        socket->abort();
        return;
    }
    const QByteArray bytes = "HTTP/1.1 " + QByteArray::number(reply.status) +
                             " X\r\nContent-Type: application/json\r\nContent-Length: " +
                             QByteArray::number(reply.body.size()) + "\r\n\r\n" + reply.body;
    if (reply.delayMs <= 0) {
        socket->write(bytes);
        return;
    }
    QTimer::singleShot(reply.delayMs, this, [s = QPointer<QTcpSocket>(socket), bytes] {
        if (s && s->state() == QAbstractSocket::ConnectedState)
            s->write(bytes);
    });
}

}  // namespace Qd::Test
