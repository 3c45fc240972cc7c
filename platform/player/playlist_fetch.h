#pragma once
// Reads a playlist's text for the player, over http(s) or from a local file. Bounded: at most
// kMaxPlaylistBytes are kept (a longer text is cut after its last whole line), a server that
// goes quiet is given up on, and redirections are followed a few times only.
//
// Lifecycle: made and used on the UI thread. get() starts a read and returns at once; its `done`
// runs later on the same thread, exactly once, unless cancel() or another get() comes first.
#include <QObject>
#include <QPointer>
#include <functional>
#include <string>
#include <string_view>

class QNetworkAccessManager;
class QNetworkReply;

namespace qv {

struct FetchedText {
    std::string text;         // empty when nothing could be read
    std::string address;      // where it was read from at last (after redirections)
    std::string contentType;  // the server's, if any
};

class PlaylistFetch final : public QObject {
  public:
    using Done = std::function<void(const FetchedText&)>;

    explicit PlaylistFetch(QObject* parent = nullptr);
    ~PlaylistFetch() override;
    PlaylistFetch(const PlaylistFetch&) = delete;
    PlaylistFetch& operator=(const PlaylistFetch&) = delete;

    // Whether get() can read the address: http, https or a local file.
    [[nodiscard]] static bool CanRead(std::string_view address);
    void get(const std::string& address, Done done);
    void cancel();

  private:
    void readLocal(const std::string& address, Done done);
    void readRemote(const std::string& address, Done done);

    QNetworkAccessManager* net_ = nullptr;  // made on the first remote read
    QPointer<QNetworkReply> reply_;
    int serial_ = 0;  // bumped by every get() and cancel(); late answers are dropped
};

}  // namespace qv
