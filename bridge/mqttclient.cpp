#include "bridge/mqttclient.h"

#include <QMetaObject>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <mosquitto.h>

namespace bridge {

MqttClient::MqttClient(const Options &options, QObject *parent)
    : QObject(parent), m_options(options)
{}

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
    // Back-off between attempts: 1 s, doubling up to 30 s.
    mosquitto_reconnect_delay_set(m_mosq, 1, 30, true);
    int rc = MOSQ_ERR_SUCCESS;
    if (!m_options.user.isEmpty()) {
        const QByteArray user = m_options.user.toUtf8();
        const QByteArray password = m_options.password.toUtf8();
        rc = mosquitto_username_pw_set(m_mosq, user.constData(),
                                       password.isEmpty() ? nullptr : password.constData());
        if (rc != MOSQ_ERR_SUCCESS)
            return QStringLiteral("user name: %1").arg(QString::fromUtf8(mosquitto_strerror(rc)));
    }
    if (m_options.tls) {
        const QByteArray ca = m_options.caFile.toLocal8Bit();
        rc =
            mosquitto_tls_set(m_mosq, ca.isEmpty() ? nullptr : ca.constData(),
                              ca.isEmpty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS)
            return QStringLiteral("TLS: %1").arg(QString::fromUtf8(mosquitto_strerror(rc)));
    }
    if (!m_options.willTopic.isEmpty()) {
        const QByteArray topic = m_options.willTopic.toUtf8();
        rc = mosquitto_will_set(m_mosq, topic.constData(), int(m_options.willPayload.size()),
                                m_options.willPayload.constData(), 1, true);
        if (rc != MOSQ_ERR_SUCCESS)
            return QStringLiteral("last will: %1").arg(QString::fromUtf8(mosquitto_strerror(rc)));
    }
    rc = mosquitto_loop_start(m_mosq);
    if (rc != MOSQ_ERR_SUCCESS)
        return QStringLiteral("cannot start the MQTT thread: %1")
            .arg(QString::fromUtf8(mosquitto_strerror(rc)));
    m_started = true;
    connectNow();
    return {};
}

void MqttClient::connectNow()
{
    if (!m_started)
        return;
    // Once connected, the library's thread reconnects by itself; a first connection that
    // cannot even be tried (no broker listening yet, a name that does not resolve yet) is
    // tried again here, with the same back-off.
    const QByteArray host = m_options.host.toUtf8();
    const int rc = mosquitto_connect_async(m_mosq, host.constData(), m_options.port,
                                           m_options.keepAliveSeconds);
    if (rc == MOSQ_ERR_SUCCESS) {
        m_retryMs = 1000;
        return;
    }
    const QString reason = rc == MOSQ_ERR_ERRNO ? QString::fromLocal8Bit(std::strerror(errno))
                                                : QString::fromUtf8(mosquitto_strerror(rc));
    emit unreachable(reason, m_retryMs);
    QTimer::singleShot(m_retryMs, this, &MqttClient::connectNow);
    m_retryMs = std::min(m_retryMs * 2, 30000);
}

void MqttClient::stop()
{
    if (!m_started)
        return;
    m_started = false;
    mosquitto_disconnect(m_mosq);
    mosquitto_loop_stop(m_mosq, false);
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
    return rc == MOSQ_ERR_SUCCESS ? mid : -1;
}

bool MqttClient::subscribe(const QString &filter)
{
    const QByteArray f = filter.toUtf8();
    return m_mosq && mosquitto_subscribe(m_mosq, nullptr, f.constData(), 1) == MOSQ_ERR_SUCCESS;
}

bool MqttClient::unsubscribe(const QString &filter)
{
    const QByteArray f = filter.toUtf8();
    return m_mosq && mosquitto_unsubscribe(m_mosq, nullptr, f.constData()) == MOSQ_ERR_SUCCESS;
}

// The callbacks run on the library's thread: they copy what they report and hand it to the
// owner's thread; a client destroyed meanwhile drops it.

void MqttClient::OnConnect(mosquitto *, void *self, int rc)
{
    auto *client = static_cast<MqttClient *>(self);
    const QString reason = QString::fromUtf8(mosquitto_connack_string(rc));
    QMetaObject::invokeMethod(
        client,
        [client, rc, reason] {
            if (rc == 0) {
                client->m_connected = true;
                emit client->connected();
            } else {
                emit client->refused(rc, reason);
            }
        },
        Qt::QueuedConnection);
}

void MqttClient::OnDisconnect(mosquitto *, void *self, int rc)
{
    auto *client = static_cast<MqttClient *>(self);
    const QString reason =
        rc == 0 ? QStringLiteral("disconnected") : QString::fromUtf8(mosquitto_strerror(rc));
    QMetaObject::invokeMethod(
        client,
        [client, reason] {
            const bool was = client->m_connected;
            client->m_connected = false;
            if (was)
                emit client->disconnected(reason);
        },
        Qt::QueuedConnection);
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

} // namespace bridge
