// The resolver's reads under the address rule: what a server names, or redirects to, is read only
// when it lies on the network.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <optional>

#include "kit/sealed.h"
#include "resolver.h"
#include "tests/support/support.h"

namespace qv {
namespace {

// A loopback HTTP server that answers every request with the same response.
class OneAnswerServer {
  public:
    explicit OneAnswerServer(QByteArray response) : response_(std::move(response)) {
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    if (!s->readAll().contains("\r\n\r\n"))
                        return;
                    ++requests_;
                    s->write(response_);
                    s->disconnectFromHost();
                });
                QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
        server_.listen(QHostAddress::LocalHost);
    }
    [[nodiscard]] std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(server_.serverPort()) + path;
    }
    [[nodiscard]] int requests() const { return requests_; }

  private:
    QTcpServer server_;
    QByteArray response_;
    int requests_ = 0;
};

// A playlist file of the user's, watched for any open.
class Canary {
  public:
    Canary() : path_(kit::NewFolder("canary") + "/list.m3u") {
        test::WriteFile(path_, "#EXTM3U\nhttp://o/s\n");
        watch_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        inotify_add_watch(watch_, path_.c_str(), IN_OPEN);
    }
    ~Canary() { ::close(watch_); }
    Canary(const Canary&) = delete;
    Canary& operator=(const Canary&) = delete;
    [[nodiscard]] const std::string& path() const { return path_; }
    [[nodiscard]] bool opened() const {
        char events[4096];
        return ::read(watch_, events, sizeof events) > 0;
    }

  private:
    std::string path_;
    int watch_ = -1;
};

std::optional<FetchedText> Fetch(const Lead& lead) {
    PlaylistFetch fetch;
    std::optional<FetchedText> got;
    fetch.get(lead, [&got](const FetchedText& text) { got = text; });
    test::WaitUntil([&] { return got.has_value(); }, 10000);
    return got;
}

TEST(PlaylistFetch, ReadsTheUsersFilesOnlyForTheUser) {
    const Canary canary;
    const auto own = Fetch({canary.path(), ""});
    ASSERT_TRUE(own);
    EXPECT_EQ(own->text, "#EXTM3U\nhttp://o/s\n");
    EXPECT_TRUE(canary.opened());
    // Named by a server's playlist or HLS master, as a path or a file address: not read.
    for (const std::string& address : {canary.path(), "file://" + canary.path()}) {
        SCOPED_TRACE(address);
        const auto named = Fetch({address, "http://h/list.m3u"});
        ASSERT_TRUE(named);
        EXPECT_EQ(named->text, "");
        EXPECT_FALSE(canary.opened());
    }
}

TEST(PlaylistFetch, FollowsRedirectionsOnTheNetworkOnly) {
    const Canary canary;
    OneAnswerServer target("HTTP/1.0 200 OK\r\nContent-Type: audio/x-mpegurl\r\n\r\nhttp://o/s\n");
    OneAnswerServer onward(("HTTP/1.0 302 Found\r\nLocation: " + target.url("/list.m3u") +
                            "\r\nContent-Length: 0\r\n\r\n")
                               .c_str());
    const auto followed = Fetch({onward.url("/l"), ""});
    ASSERT_TRUE(followed);
    EXPECT_EQ(followed->text, "http://o/s\n");
    EXPECT_EQ(followed->address, target.url("/list.m3u"));
    EXPECT_EQ(target.requests(), 1);

    OneAnswerServer local(("HTTP/1.0 302 Found\r\nLocation: file://" + canary.path() +
                           "\r\nContent-Length: 0\r\n\r\n")
                              .c_str());
    const auto refused = Fetch({local.url("/l"), ""});
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->text, "");
    EXPECT_EQ(local.requests(), 1);
    EXPECT_FALSE(canary.opened());
}

}  // namespace
}  // namespace qv
