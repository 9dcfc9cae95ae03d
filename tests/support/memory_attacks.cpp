// The memory attacks' pages.
#include "memory_attacks.h"

#include "loopback_site.h"

#include <QTcpSocket>

#include <array>

namespace qelvora::test {

namespace {

const QByteArray kHtml = "text/html; charset=utf-8";

QByteArray page(const QByteArray &script)
{
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body><p>memory</p><script>"
        + script + "</script></body></html>";
}

// Each step adds 16 MiB; 96 steps make 1.5 GiB.
constexpr char kBlob[] = R"js(
var kept = [];
(function grow() {
    if (kept.length >= 96)
        return;
    var bytes = new Uint8Array(16 << 20);
    bytes.fill(kept.length + 1);
    kept.push(URL.createObjectURL(new Blob([bytes])));
    setTimeout(grow, 10);
})();
)js";

constexpr char kCache[] = R"js(
caches.open('kept').then(function (cache) {
    var n = 0;
    (function grow() {
        if (n >= 96)
            return;
        var bytes = new Uint8Array(16 << 20);
        bytes.fill(n + 1);
        cache.put('/kept/' + n++, new Response(bytes)).then(grow, grow);
    })();
});
)js";

constexpr char kIndexedDb[] = R"js(
var request = indexedDB.open('kept', 1);
request.onupgradeneeded = function () { request.result.createObjectStore('kept'); };
request.onsuccess = function () {
    var db = request.result;
    var n = 0;
    (function grow() {
        if (n >= 96)
            return;
        var transaction = db.transaction('kept', 'readwrite');
        for (var i = 0; i < 4; ++i) {
            var bytes = new Uint8Array(16 << 20);
            bytes.fill(n + 1);
            transaction.objectStore('kept').put(bytes, n++);
        }
        transaction.oncomplete = grow;
        transaction.onerror = grow;
    })();
};
)js";

// An origin's localStorage holds 10 MiB; a page that rewrites it over and over makes the engine
// keep what it wrote before.
constexpr char kLocalStorage[] = R"js(
var n = 0;
(function grow() {
    if (n >= 400)
        return;
    var text = String.fromCharCode(65 + n % 26).repeat(2 << 20) + n;
    try {
        localStorage.setItem('a' + n % 2, text);
        sessionStorage.setItem('s' + n % 2, text);
    } catch (e) {
        localStorage.clear();
        sessionStorage.clear();
    }
    ++n;
    setTimeout(grow, 10);
})();
)js";

constexpr char kPushState[] = R"js(
var n = 0;
(function grow() {
    if (n >= 96)
        return;
    var state = new Uint8Array(16 << 20);
    state.fill(n + 1);
    history.pushState(state, '', '?state=' + n++);
    setTimeout(grow, 20);
})();
)js";

constexpr char kIframes[] = R"js(
var n = 0;
(function grow() {
    for (var i = 0; i < 250 && n < 10000; ++i, ++n)
        document.body.appendChild(document.createElement('iframe'));
    if (n < 10000)
        setTimeout(grow, 10);
})();
)js";

// 8192 x 8192 pixels, 256 MiB each once decoded; six of them under different addresses.
constexpr char kImages[] = R"js(
var n = 0;
var kept = [];
(function grow() {
    if (n >= 6)
        return;
    var image = new Image();
    image.src = '/memory/huge.png?' + n++;
    kept.push(image);
    document.body.appendChild(image);
    image.decode().then(grow, grow);
})();
)js";

// Takes 128 MiB and goes on to the next page on the other host name, another site and so another
// page process, 24 times.
constexpr char kNavigation[] = R"js(
var step = Number(location.search.slice(1)) || 0;
var bytes = new Uint8Array(128 << 20);
bytes.fill(step + 1);
if (step < 24) {
    var host = location.hostname === 'localhost' ? '127.0.0.1' : 'localhost';
    setTimeout(function () {
        location.href = 'http://' + host + ':' + location.port + '/memory/navigation.htm?'
                        + (step + 1);
    }, 50);
}
)js";

constexpr char kWasm[] = R"js(
var memory = new WebAssembly.Memory({ initial: 256, maximum: 32768 });
var steps = 0;
(function grow() {
    if (steps >= 96)
        return;
    var from = memory.buffer.byteLength;
    memory.grow(256);
    new Uint8Array(memory.buffer, from).fill(++steps);
    setTimeout(grow, 10);
})();
)js";

// Six workers, each taking 256 MiB as fast as it can.
constexpr char kWorkers[] = R"js(
var source = "var kept = []; (function grow() { if (kept.length >= 16) return;"
           + " var b = new ArrayBuffer(16 << 20); new Uint8Array(b).fill(7); kept.push(b);"
           + " setTimeout(grow, 5); })();";
var workers = [];
for (var i = 0; i < 6; ++i)
    workers.push(new Worker(URL.createObjectURL(new Blob([source]))));
)js";

quint32 crc32(const QByteArray &data)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : data)
        crc = table[(crc ^ quint8(byte)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

QByteArray bigEndian(quint32 value)
{
    return QByteArray(1, char(value >> 24)) + char(value >> 16) + char(value >> 8) + char(value);
}

QByteArray pngChunk(const QByteArray &type, const QByteArray &data)
{
    return bigEndian(quint32(data.size())) + type + data + bigEndian(crc32(type + data));
}

// A grey 8192 x 8192 PNG: some hundred kilobytes on the wire.
QByteArray hugePng()
{
    constexpr quint32 kSide = 8192;
    const QByteArray rows(qsizetype(kSide) * (kSide + 1), '\0');
    // qCompress() puts the length in front of the zlib stream PNG wants.
    const QByteArray pixels = qCompress(rows, 9).mid(4);
    const QByteArray header = bigEndian(kSide) + bigEndian(kSide)
        + QByteArray("\x08\x00\x00\x00\x00", 5);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", pixels)
        + pngChunk("IEND", {});
}

} // namespace

const char kStorageProbe[] = R"js(
(function () {
    window.storageSeen = undefined;
    var local = localStorage.length;
    caches.keys().then(function (cacheNames) {
        indexedDB.databases().then(function (databases) {
            window.storageSeen = 'localStorage ' + local + ', caches ' + cacheNames.length
                                 + ', indexedDB ' + databases.length;
        });
    });
    return true;
})();
)js";

QList<QByteArray> memoryAttacks()
{
    return {"blob",    "cache",  "indexeddb",  "localstorage", "pushstate",
            "iframes", "images", "navigation", "wasm",         "workers"};
}

QUrl putMemoryAttack(LoopbackSite &site, const QByteArray &name)
{
    const std::pair<const char *, const char *> scripts[] = {
        {"blob", kBlob},           {"cache", kCache},
        {"indexeddb", kIndexedDb}, {"localstorage", kLocalStorage},
        {"pushstate", kPushState}, {"iframes", kIframes},
        {"images", kImages},       {"navigation", kNavigation},
        {"wasm", kWasm},           {"workers", kWorkers},
    };
    for (const auto &[attack, script] : scripts) {
        if (name != attack)
            continue;
        const QByteArray path = "/memory/" + name + ".htm";
        site.put(path, kHtml, page(script));
        if (name == "images")
            site.put("/memory/huge.png", "image/png", hugePng());
        return site.url(path);
    }
    return {};
}

} // namespace qelvora::test
