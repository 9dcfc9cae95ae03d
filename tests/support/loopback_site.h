// A small web site on loopback for the tests and the benchmarks: it reads plain HTTP/1.1 GET
// requests off the wire, records them, and answers with the documents put up for their paths or
// with a handler of the test's own (a page that streams without end, a site that never answers).
// Every answer closes its connection. Nothing here reaches beyond 127.0.0.1.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

#include <functional>

class QTcpSocket;

namespace qelvora::test {

class LoopbackSite : public QObject {
    Q_OBJECT
public:
    struct Request {
        QByteArray method;
        QByteArray path;   // as it came on the wire, percent-encoding kept, without the query
        QByteArray target; // the whole request target
        QHash<QByteArray, QByteArray> headers; // names in lower case
        QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
    };
    // Answers one request on its socket; it may write at once, later, or never.
    using Handler = std::function<void(const Request &, QTcpSocket *)>;

    explicit LoopbackSite(QObject *parent = nullptr);

    // Serves body with the given content type (and extra "Name: value" header lines) at path.
    void put(const QByteArray &path, const QByteArray &type, const QByteArray &body,
             const QList<QByteArray> &extraHeaders = {});
    // Lets handler answer every request for path.
    void handle(const QByteArray &path, Handler handler);
    // Lets handler answer every request no document or handler is there for (404 otherwise).
    void handleOthers(Handler handler);

    bool listening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }
    QUrl base() const;
    // The address of path on this site (path as it goes on the wire).
    QUrl url(const QByteArray &path) const;
    qsizetype count(const QByteArray &path) const;

    // Writes a whole response and closes the connection once it is sent.
    static void respond(QTcpSocket *socket, int status, const QByteArray &type,
                        const QByteArray &body, const QList<QByteArray> &extraHeaders = {});

    QList<Request> requests;

    // Pages that flood the program with what a page sends it, as fast as they can, by kind:
    // "console" (console messages), "title" (title changes), "icon" (icon changes, each a new
    // address the program fetches), "navigate" (every document goes on to the next as soon as it
    // has loaded), "history" (history entries and new #fragments), "stuck" (console messages
    // from a script that never yields). Empty for an unknown kind.
    static QByteArray floodPage(const QByteArray &kind);
    // Serves the flood page of that kind for every path that no document or handler is there
    // for, and a small icon for every .png path among them.
    void serveFlood(const QByteArray &kind);

private:
    void read(QTcpSocket *socket);
    void answer(const Request &request, QTcpSocket *socket);

    struct Document {
        QByteArray type;
        QByteArray body;
        QList<QByteArray> extraHeaders;
    };
    QTcpServer m_server;
    QHash<QByteArray, Document> m_documents;
    QHash<QByteArray, Handler> m_handlers;
    Handler m_others;
};

} // namespace qelvora::test
