#pragma once
// The playlist resolver: reads what the walk and the HLS check need (playlist.h holds their pure
// rules), over http(s) or from a local file, under the one address rule (MayFollow): a read that
// the rule refuses, a redirection included, reads nothing. Bounded: at most kMaxPlaylistBytes are
// kept (a longer text is cut after its last whole line), a server that goes quiet is given up on,
// and redirections are followed a few times only.
//
// Lifecycle: made and used on the UI thread. A call starts a read and returns at once; its `done`
// runs later on the same thread, never inside the call, and not at all once cancel() or another
// call of the same kind comes first.
#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "playlist.h"

class QNetworkAccessManager;
class QNetworkReply;

namespace qv {

struct FetchedText {
    std::string text;         // empty when nothing could be read
    std::string address;      // where it was read from at last (after redirections)
    std::string contentType;  // the server's, if any
};

// One read at a time.
class PlaylistFetch final : public QObject {
  public:
    using Done = std::function<void(const FetchedText&)>;

    explicit PlaylistFetch(QObject* parent = nullptr);
    ~PlaylistFetch() override;
    PlaylistFetch(const PlaylistFetch&) = delete;
    PlaylistFetch& operator=(const PlaylistFetch&) = delete;

    void get(const Lead& lead, Done done);
    void cancel();

  private:
    void readLocal(const std::string& address, Done done);
    void readRemote(const std::string& address, Done done);
    void answerLater(FetchedText got, Done done);

    QNetworkAccessManager* net_ = nullptr;  // made on the first remote read
    QPointer<QNetworkReply> reply_;
    int serial_ = 0;  // bumped by every get() and cancel(); late answers are dropped
};

class PlaylistResolver final : public QObject {
  public:
    using Read = std::function<void(const Playlist& playlist, const std::string& base)>;
    using Found = std::function<void(PlaylistProblem problem)>;

    explicit PlaylistResolver(QObject* parent = nullptr);

    // Reads the lead as a playlist: `done` gets what it holds (form None when nothing could be
    // read, or it is no playlist the player reads) and the address it was read from at last.
    void read(const Lead& lead, Read done);
    // Reads beside the engine the HLS playlists that it reads for `master` (VariantCheck);
    // `done` runs only when they loop or nest too deep.
    void checkVariants(std::set<std::string> onTheWay, Lead master, Found done);
    void endVariantCheck();
    void cancel();  // every read

  private:
    void readVariant();

    PlaylistFetch fetch_;
    PlaylistFetch variantFetch_;
    std::optional<VariantCheck> variants_;
    Found found_;
};

}  // namespace qv
