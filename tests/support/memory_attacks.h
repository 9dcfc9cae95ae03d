// Pages that take memory without end, one per way a page can make the program or the engine hold
// it: storage the engine keeps in the program's own process (Blob, Cache API, IndexedDB,
// localStorage, session history, frames) and memory of the page processes that grows faster than
// a look every second catches (decoded images, a page that navigates from process to process,
// WebAssembly memory, workers). The tests and the benchmarks serve them from the loopback site.
#pragma once

#include <QByteArray>
#include <QList>
#include <QUrl>

namespace qelvora::test {

class LoopbackSite;

// The attacks by name: blob, cache, indexeddb, localstorage, pushstate, iframes, images,
// navigation, wasm, workers.
QList<QByteArray> memoryAttacks();

// Puts the named attack's pages up on site and returns the address of its first page; empty for
// an unknown name. Every attack stops by itself at about 1.5 GiB.
QUrl putMemoryAttack(LoopbackSite &site, const QByteArray &name);

// A page on site that tells what storage its origin holds, as a script's result:
// evaluate(panel, kStorageProbe) gives "localStorage N, caches N, indexedDB N".
extern const char kStorageProbe[];

} // namespace qelvora::test
