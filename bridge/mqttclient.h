#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

struct mosquitto;
struct mosquitto_message;
class QSocketNotifier;
class QTimer;

namespace bridge {

// One connection to the broker through the Mosquitto client library, driven from the event
// loop of the thread that owns it: the library's socket is watched for reading and writing,
// its keep-alive is run once a second, and every error it returns is seen here, where the
// connection is made again with back-off. Everything happens on that one thread.
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
    // Disconnects. Messages not yet taken by the broker are lost: wait for published() first.
    void stop();
    bool isConnected() const { return m_connected; }

    // QoS 1. The message id, or -1 when it could not be queued (not connected).
    int publish(const QString &topic, const QByteArray &payload, bool retain);
    bool subscribe(const QString &filter);
    bool unsubscribe(const QString &filter);

signals:
    void connected();
    // The broker answered the connection with a refusal (bad user name or password, not
    // authorised, ...); it is tried again after the back-off.
    void refused(int code, const QString &reason);
    // The connection is gone; it is made again after the back-off.
    void disconnected(const QString &reason);
    void message(const QString &topic, const QByteArray &payload, bool retained);
    void published(int messageId);
    // A connection could not be made: tried again after retryMs.
    void unreachable(const QString &reason, int retryMs);

private:
    static void OnConnect(mosquitto *, void *self, int rc);
    static void OnDisconnect(mosquitto *, void *self, int rc);
    static void OnMessage(mosquitto *, void *self, const mosquitto_message *message);
    static void OnPublish(mosquitto *, void *self, int mid);
    static void OnLog(mosquitto *, void *self, int level, const char *text);

    void connectNow();
    void watchSocket();
    void dropSocket();
    void afterLoop(int rc);
    void lost(const QString &reason);
    void wantWrite();

    Options m_options;
    mosquitto *m_mosq = nullptr;
    bool m_started = false;
    bool m_connected = false;
    int m_retryMs = 1000;
    QString m_libraryError; // the library's last error message, for the reason of a failure
    std::unique_ptr<QSocketNotifier> m_read;
    std::unique_ptr<QSocketNotifier> m_write;
    QTimer *m_misc = nullptr;      // keep-alive, once a second
    QTimer *m_retry = nullptr;     // the next connection
    QTimer *m_connectBy = nullptr; // a connection not made by then is given up and made again
};

} // namespace bridge
