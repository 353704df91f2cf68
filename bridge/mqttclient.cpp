#include "bridge/mqttclient.h"

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mosquitto.h>
#include <sys/socket.h>

namespace bridge {

namespace {
constexpr int RetryMaxMs = 30000;
// The time a connection (TCP, TLS handshake, the broker's answer) may take.
constexpr int ConnectTimeoutMs = 10000;

QString ErrorText(int rc)
{
    return rc == MOSQ_ERR_ERRNO ? QString::fromLocal8Bit(std::strerror(errno))
                                : QString::fromUtf8(mosquitto_strerror(rc));
}
} // namespace

MqttClient::MqttClient(const Options &options, QObject *parent)
    : QObject(parent), m_options(options), m_misc(new QTimer(this)), m_retry(new QTimer(this)),
      m_connectBy(new QTimer(this))
{
    m_misc->setInterval(1000);
    connect(m_misc, &QTimer::timeout, this, [this] {
        if (m_read)
            afterLoop(mosquitto_loop_misc(m_mosq));
    });
    m_retry->setSingleShot(true);
    connect(m_retry, &QTimer::timeout, this, &MqttClient::connectNow);
    m_connectBy->setSingleShot(true);
    connect(m_connectBy, &QTimer::timeout, this, [this] {
        lost(QStringLiteral("no answer from the broker within %1 s").arg(ConnectTimeoutMs / 1000));
    });
}

MqttClient::~MqttClient()
{
    stop();
    if (m_mosq)
        mosquitto_destroy(m_mosq);
}

QString MqttClient::start()
{
    const QByteArray id = m_options.clientId.toUtf8();
    m_mosq = mosquitto_new(id.isEmpty() ? nullptr : id.constData(), true, this);
    if (!m_mosq)
        return QStringLiteral("cannot make an MQTT client");
    mosquitto_connect_callback_set(m_mosq, &MqttClient::OnConnect);
    mosquitto_disconnect_callback_set(m_mosq, &MqttClient::OnDisconnect);
    mosquitto_message_callback_set(m_mosq, &MqttClient::OnMessage);
    mosquitto_publish_callback_set(m_mosq, &MqttClient::OnPublish);
    mosquitto_log_callback_set(m_mosq, &MqttClient::OnLog);
    // States and commands are small messages that should leave at once, not wait for the
    // acknowledgement of the one before.
    mosquitto_int_option(m_mosq, MOSQ_OPT_TCP_NODELAY, 1);
    int rc = MOSQ_ERR_SUCCESS;
    if (!m_options.user.isEmpty()) {
        const QByteArray user = m_options.user.toUtf8();
        const QByteArray password = m_options.password.toUtf8();
        rc = mosquitto_username_pw_set(m_mosq, user.constData(),
                                       password.isEmpty() ? nullptr : password.constData());
        if (rc != MOSQ_ERR_SUCCESS)
            return QStringLiteral("user name: %1").arg(ErrorText(rc));
    }
    if (m_options.tls) {
        const QByteArray ca = m_options.caFile.toLocal8Bit();
        rc =
            mosquitto_tls_set(m_mosq, ca.isEmpty() ? nullptr : ca.constData(),
                              ca.isEmpty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS)
            return QStringLiteral("TLS: %1").arg(ErrorText(rc));
    }
    if (!m_options.willTopic.isEmpty()) {
        const QByteArray topic = m_options.willTopic.toUtf8();
        rc = mosquitto_will_set(m_mosq, topic.constData(), int(m_options.willPayload.size()),
                                m_options.willPayload.constData(), 1, true);
        if (rc != MOSQ_ERR_SUCCESS)
            return QStringLiteral("last will: %1").arg(ErrorText(rc));
    }
    m_started = true;
    m_misc->start();
    connectNow();
    return {};
}

void MqttClient::connectNow()
{
    if (!m_started)
        return;
    dropSocket();
    m_libraryError.clear();
    const QByteArray host = m_options.host.toUtf8();
    const int rc = mosquitto_connect_async(m_mosq, host.constData(), m_options.port,
                                           m_options.keepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS || mosquitto_socket(m_mosq) < 0) {
        lost(m_libraryError.isEmpty() ? ErrorText(rc) : m_libraryError);
        return;
    }
    watchSocket();
    m_connectBy->start(ConnectTimeoutMs);
}

void MqttClient::watchSocket()
{
    const int fd = mosquitto_socket(m_mosq);
    m_read = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    m_write = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    connect(m_read.get(), &QSocketNotifier::activated, this, [this] {
        // A connection under way that failed is readable with the failure: said here, before
        // the library would read it away.
        if (!m_connected) {
            int error = 0;
            socklen_t size = sizeof error;
            if (::getsockopt(mosquitto_socket(m_mosq), SOL_SOCKET, SO_ERROR, &error, &size) == 0 &&
                error != 0) {
                lost(QString::fromLocal8Bit(std::strerror(error)));
                return;
            }
            char byte = 0;
            const ssize_t n = ::recv(mosquitto_socket(m_mosq), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
            if (n == 0) {
                lost(QStringLiteral("the connection was closed before the broker answered"));
                return;
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                lost(QString::fromLocal8Bit(std::strerror(errno)));
                return;
            }
        }
        afterLoop(mosquitto_loop_read(m_mosq, 1));
    });
    connect(m_write.get(), &QSocketNotifier::activated, this, [this] {
        // A connection under way that failed (refused, unreachable) says so here.
        int error = 0;
        socklen_t size = sizeof error;
        if (!m_connected &&
            ::getsockopt(mosquitto_socket(m_mosq), SOL_SOCKET, SO_ERROR, &error, &size) == 0 &&
            error != 0) {
            lost(QString::fromLocal8Bit(std::strerror(error)));
            return;
        }
        afterLoop(mosquitto_loop_write(m_mosq, 1));
    });
    wantWrite();
}

void MqttClient::dropSocket()
{
    // Perhaps from within a notifier's own signal: it goes once that is over.
    for (std::unique_ptr<QSocketNotifier> *n : {&m_read, &m_write}) {
        if (*n) {
            (*n)->setEnabled(false);
            n->release()->deleteLater();
        }
    }
}

void MqttClient::wantWrite()
{
    if (m_write)
        m_write->setEnabled(mosquitto_want_write(m_mosq));
}

void MqttClient::afterLoop(int rc)
{
    if (rc == MOSQ_ERR_SUCCESS) {
        wantWrite();
        return;
    }
    lost(m_libraryError.isEmpty() ? ErrorText(rc) : m_libraryError);
}

void MqttClient::lost(const QString &reason)
{
    if (!m_started)
        return;
    dropSocket();
    m_connectBy->stop();
    mosquitto_disconnect(m_mosq); // closes what is left of the socket
    const bool was = m_connected;
    m_connected = false;
    if (was)
        emit disconnected(reason);
    else
        emit unreachable(reason, m_retryMs);
    m_retry->start(m_retryMs);
    m_retryMs = std::min(m_retryMs * 2, RetryMaxMs);
}

void MqttClient::stop()
{
    if (!m_started)
        return;
    m_started = false;
    m_misc->stop();
    m_retry->stop();
    m_connectBy->stop();
    if (m_read && m_connected) {
        // Says goodbye, so that the broker does not publish the last will.
        mosquitto_disconnect(m_mosq);
        mosquitto_loop_write(m_mosq, 1);
    }
    dropSocket();
    m_connected = false;
}

int MqttClient::publish(const QString &topic, const QByteArray &payload, bool retain)
{
    if (!m_mosq || !m_connected)
        return -1;
    int mid = 0;
    const QByteArray t = topic.toUtf8();
    const int rc = mosquitto_publish(m_mosq, &mid, t.constData(), int(payload.size()),
                                     payload.constData(), 1, retain);
    wantWrite();
    return rc == MOSQ_ERR_SUCCESS ? mid : -1;
}

bool MqttClient::subscribe(const QString &filter)
{
    const QByteArray f = filter.toUtf8();
    const bool ok =
        m_connected && mosquitto_subscribe(m_mosq, nullptr, f.constData(), 1) == MOSQ_ERR_SUCCESS;
    wantWrite();
    return ok;
}

bool MqttClient::unsubscribe(const QString &filter)
{
    const QByteArray f = filter.toUtf8();
    const bool ok =
        m_connected && mosquitto_unsubscribe(m_mosq, nullptr, f.constData()) == MOSQ_ERR_SUCCESS;
    wantWrite();
    return ok;
}

// The library calls these from within mosquitto_loop_read() and the like; what they report is
// handed on from the event loop, once the library is out of its call.

void MqttClient::OnConnect(mosquitto *, void *self, int rc)
{
    auto *client = static_cast<MqttClient *>(self);
    const QString reason = QString::fromUtf8(mosquitto_connack_string(rc));
    QMetaObject::invokeMethod(
        client,
        [client, rc, reason] {
            if (!client->m_started)
                return;
            client->m_connectBy->stop();
            if (rc != 0) {
                emit client->refused(rc, reason);
                return;
            }
            client->m_connected = true;
            client->m_retryMs = 1000;
            client->wantWrite();
            emit client->connected();
        },
        Qt::QueuedConnection);
}

void MqttClient::OnDisconnect(mosquitto *, void *, int)
{
    // Every loss is seen as the error of the library call that found it (see afterLoop).
}

void MqttClient::OnMessage(mosquitto *, void *self, const mosquitto_message *message)
{
    auto *client = static_cast<MqttClient *>(self);
    const QString topic = QString::fromUtf8(message->topic);
    const QByteArray payload(static_cast<const char *>(message->payload), message->payloadlen);
    const bool retained = message->retain;
    QMetaObject::invokeMethod(
        client,
        [client, topic, payload, retained] { emit client->message(topic, payload, retained); },
        Qt::QueuedConnection);
}

void MqttClient::OnPublish(mosquitto *, void *self, int mid)
{
    auto *client = static_cast<MqttClient *>(self);
    QMetaObject::invokeMethod(
        client, [client, mid] { emit client->published(mid); }, Qt::QueuedConnection);
}

void MqttClient::OnLog(mosquitto *, void *self, int level, const char *text)
{
    // Only the library's errors (a TLS handshake that failed, ...): the reason of the failure
    // that follows. Called on this thread, from within the library.
    if (level & MOSQ_LOG_ERR)
        static_cast<MqttClient *>(self)->m_libraryError = QString::fromUtf8(text);
}

} // namespace bridge
