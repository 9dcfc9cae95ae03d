// The loopback site: request reader and answers.
#include "loopback_site.h"

#include <QTcpSocket>
#include <QVariant>

#include <algorithm>

namespace qelvora::test {

namespace {

// A request head larger than this is not one of ours: the connection is dropped.
constexpr qsizetype kMaxHead = 64 * 1024;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 302:
        return "Found";
    case 404:
        return "Not Found";
    default:
        return "Status";
    }
}

// The flood pages send in batches, one batch a task, for as long as they are shown.
constexpr char kFloodHead[] = R"html(<!DOCTYPE html><html><head><meta charset="utf-8">
<link id="icon" rel="icon" href="/icon-0.png"></head><body><p>flood</p><script>
var n = 0;
function flood(step, batch) {
    (function next() {
        for (var i = 0; i < batch; ++i)
            step(++n);
        setTimeout(next, 0);
    })();
}
)html";
constexpr char kFloodTail[] = "</script></body></html>";

// A one-pixel PNG, the icon every icon address gets.
const QByteArray kIcon = QByteArray::fromHex(
    "89504e470d0a1a0a0000000d494844520000000100000001080200000090775"
    "3de0000000c49444154789c63f8cfc0000003010100c9fe92ef0000000049454e44ae426082");

} // namespace

QByteArray LoopbackSite::floodPage(const QByteArray &kind)
{
    QByteArray script;
    if (kind == "console")
        script = "flood(function (n) { console.log('flood ' + n); }, 100);";
    else if (kind == "title")
        script = "flood(function (n) { document.title = 'flood ' + n; }, 100);";
    else if (kind == "icon")
        script = "flood(function (n) { document.getElementById('icon').href = '/icon-' + n + "
                 "'.png'; }, 10);";
    else if (kind == "navigate")
        script = "setTimeout(function () { location.replace('/next-' + Date.now() + '-' + "
                 "Math.random() + '.htm'); }, 0);";
    else if (kind == "history")
        script = "flood(function (n) { if (n % 2) history.pushState({n: n}, '', '/entry-' + n);"
                 " else location.hash = '#' + n; }, 20);";
    else if (kind == "stuck")
        script = "window.addEventListener('load', function () { setTimeout(function () {"
                 " for (;;) console.log('flood ' + ++n); }, 100); });";
    else
        return {};
    return kFloodHead + script + kFloodTail;
}

void LoopbackSite::serveFlood(const QByteArray &kind)
{
    const QByteArray page = floodPage(kind);
    handleOthers([page](const Request &request, QTcpSocket *socket) {
        if (request.path.endsWith(".png"))
            respond(socket, 200, "image/png", kIcon);
        else
            respond(socket, 200, "text/html; charset=utf-8", page);
    });
}

LoopbackSite::LoopbackSite(QObject *parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        }
    });
    m_server.listen(QHostAddress::LocalHost);
}

void LoopbackSite::put(const QByteArray &path, const QByteArray &type, const QByteArray &body,
                       const QList<QByteArray> &extraHeaders)
{
    m_documents.insert(path, {type, body, extraHeaders});
}

void LoopbackSite::handle(const QByteArray &path, Handler handler)
{
    m_handlers.insert(path, std::move(handler));
}

void LoopbackSite::handleOthers(Handler handler) { m_others = std::move(handler); }

QUrl LoopbackSite::base() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port())); }

QUrl LoopbackSite::url(const QByteArray &path) const
{
    return QUrl::fromEncoded("http://127.0.0.1:" + QByteArray::number(port()) + path);
}

qsizetype LoopbackSite::count(const QByteArray &path) const
{
    return std::count_if(requests.cbegin(), requests.cend(),
                         [&path](const Request &request) { return request.path == path; });
}

void LoopbackSite::respond(QTcpSocket *socket, int status, const QByteArray &type,
                           const QByteArray &body, const QList<QByteArray> &extraHeaders)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status)
        + "\r\nContent-Length: " + QByteArray::number(body.size())
        + "\r\nCache-Control: no-store\r\nConnection: close\r\n";
    if (!type.isEmpty())
        head += "Content-Type: " + type + "\r\n";
    for (const QByteArray &line : extraHeaders)
        head += line + "\r\n";
    socket->write(head + "\r\n" + body);
    socket->disconnectFromHost();
}

// Collects the request head (a GET has no body) and answers it; one request per connection.
void LoopbackSite::read(QTcpSocket *socket)
{
    QByteArray received = socket->property("received").toByteArray() + socket->readAll();
    const qsizetype end = received.indexOf("\r\n\r\n");
    if (end < 0) {
        if (received.size() > kMaxHead)
            socket->abort();
        else
            socket->setProperty("received", received);
        return;
    }
    socket->setProperty("received", QVariant());
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);

    const QList<QByteArray> lines = received.left(end).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    Request request;
    request.method = requestLine.value(0);
    request.target = requestLine.value(1);
    const qsizetype query = request.target.indexOf('?');
    request.path = query < 0 ? request.target : request.target.left(query);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                   lines[i].mid(colon + 1).trimmed());
    }
    requests.append(request);
    answer(request, socket);
}

void LoopbackSite::answer(const Request &request, QTcpSocket *socket)
{
    if (const auto handler = m_handlers.constFind(request.path); handler != m_handlers.cend()) {
        (*handler)(request, socket);
        return;
    }
    if (const auto document = m_documents.constFind(request.path); document != m_documents.cend()) {
        respond(socket, 200, document->type, document->body, document->extraHeaders);
        return;
    }
    if (m_others) {
        m_others(request, socket);
        return;
    }
    respond(socket, 404, "text/plain", "not found");
}

} // namespace qelvora::test
