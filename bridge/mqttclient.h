#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>

struct mosquitto;
struct mosquitto_message;

namespace bridge {

// One connection to the broker through the Mosquitto client library. The library's own thread
// connects, reconnects with back-off, keeps the connection alive and does TLS; what it reports
// is carried over to the thread that owns this object, so every signal comes from the event
// loop there.
class MqttClient : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        QString host;
        int port = 1883;
        bool tls = false;
        QString caFile; // none: the system's certificate authorities
        QString user;
        QString password;
        QString clientId;
        int keepAliveSeconds = 30;
        QString willTopic; // the broker publishes willPayload there, retained, once we are lost
        QByteArray willPayload;
    };

    explicit MqttClient(const Options &options, QObject *parent = nullptr);
    ~MqttClient() override;

    // Starts connecting; the error in words when the client cannot even be set up.
    QString start();
    // Disconnects and ends the library's thread. Messages not yet handed to the broker are lost:
    // wait for published() first.
    void stop();
    bool isConnected() const { return m_connected; }

    // QoS 1. The message id, or -1 when it could not be queued (not connected).
    int publish(const QString &topic, const QByteArray &payload, bool retain);
    bool subscribe(const QString &filter);
    bool unsubscribe(const QString &filter);

signals:
    void connected();
    // The broker answered the connection with a refusal (bad user name or password, not
    // authorised, ...); the library tries again after its back-off.
    void refused(int code, const QString &reason);
    // The connection is gone (expected: after stop()).
    void disconnected(const QString &reason);
    void message(const QString &topic, const QByteArray &payload, bool retained);
    void published(int messageId);
    // The first connection could not be tried: tried again after retryMs.
    void unreachable(const QString &reason, int retryMs);

private:
    static void OnConnect(mosquitto *, void *self, int rc);
    static void OnDisconnect(mosquitto *, void *self, int rc);
    static void OnMessage(mosquitto *, void *self, const mosquitto_message *message);
    static void OnPublish(mosquitto *, void *self, int mid);

    void connectNow();

    Options m_options;
    int m_retryMs = 1000;
    mosquitto *m_mosq = nullptr;
    bool m_started = false;
    bool m_connected = false;
};

} // namespace bridge
