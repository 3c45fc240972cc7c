#include "resolver.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <memory>

#include "texts/ascii.h"

namespace qv {
namespace {

constexpr int kQuietMs = 10000;  // a server that sends nothing for this long is given up on
constexpr int kMaxRedirects = 5;

// A text cut at the byte limit keeps its whole lines only.
void CutToWholeLines(std::string& text) {
    const size_t end = text.find_last_of('\n');
    text.resize(end == std::string::npos ? 0 : end + 1);
}

}  // namespace

PlaylistFetch::PlaylistFetch(QObject* parent) : QObject(parent) {}

PlaylistFetch::~PlaylistFetch() {
    cancel();
}

void PlaylistFetch::cancel() {
    ++serial_;
    if (QNetworkReply* reply = reply_) {
        reply_ = nullptr;
        reply->abort();
    }
}

void PlaylistFetch::get(const Lead& lead, Done done) {
    cancel();
    if (!MayFollow(lead.from, lead.address) || !CanReadPlaylist(lead.address)) {
        FetchedText nothing;
        nothing.address = lead.address;
        answerLater(std::move(nothing), std::move(done));
    } else if (IsLocalAddress(lead.address)) {
        readLocal(lead.address, std::move(done));
    } else {
        readRemote(lead.address, std::move(done));
    }
}

// The answer comes later, as a remote one does, never inside get().
void PlaylistFetch::answerLater(FetchedText got, Done done) {
    const int serial = serial_;
    QTimer::singleShot(0, this, [this, serial, done = std::move(done), got = std::move(got)] {
        if (serial == serial_)
            done(got);
    });
}

void PlaylistFetch::readLocal(const std::string& address, Done done) {
    const QString path = StartsWithNoCase(address, "file://")
                             ? QUrl(QString::fromStdString(address)).toLocalFile()
                             : QString::fromStdString(address);
    FetchedText got;
    got.address = address;
    // Only a regular file: a FIFO or a device would block the thread, or never end.
    QFile file(path);
    if (QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.read(kMaxPlaylistBytes + 1);
        got.text.assign(bytes.constData(), static_cast<size_t>(bytes.size()));
        if (got.text.size() > kMaxPlaylistBytes) {
            got.text.resize(kMaxPlaylistBytes);
            CutToWholeLines(got.text);
        }
    }
    answerLater(std::move(got), std::move(done));
}

void PlaylistFetch::readRemote(const std::string& address, Done done) {
    if (!net_)
        net_ = new QNetworkAccessManager(this);
    QNetworkRequest request(QUrl(QString::fromStdString(address)));
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Quorvin/1.0"));
    request.setTransferTimeout(kQuietMs);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    // Each redirection is held against the address rule before it is followed.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    QNetworkReply* reply = net_->get(request);
    reply->setReadBufferSize(kMaxPlaylistBytes);  // Qt holds no more than this unread
    reply_ = reply;
    const int serial = serial_;
    auto got = std::make_shared<FetchedText>();
    got->address = address;
    auto cut = std::make_shared<bool>(false);
    QObject::connect(reply, &QNetworkReply::redirected, this, [reply, got](const QUrl& to) {
        const std::string target = to.toString(QUrl::FullyEncoded).toStdString();
        if (!MayFollow(got->address, target)) {
            reply->abort();
            return;
        }
        got->address = target;
        emit reply->redirectAllowed();
    });
    QObject::connect(reply, &QNetworkReply::readyRead, this, [reply, got, cut] {
        if (*cut)
            return;
        const QByteArray more =
            reply->read(static_cast<qint64>(kMaxPlaylistBytes + 1 - got->text.size()));
        got->text.append(more.constData(), static_cast<size_t>(more.size()));
        if (got->text.size() > kMaxPlaylistBytes) {
            *cut = true;
            got->text.resize(kMaxPlaylistBytes);
            CutToWholeLines(got->text);
            reply->abort();  // enough: the rest is not read
        }
    });
    QObject::connect(
        reply, &QNetworkReply::finished, this,
        [this, reply, got, cut, serial, done = std::move(done)] {
            reply->deleteLater();
            if (serial != serial_)
                return;
            reply_ = nullptr;
            if (reply->error() != QNetworkReply::NoError && !*cut)
                got->text.clear();
            got->contentType =
                reply->header(QNetworkRequest::ContentTypeHeader).toString().toStdString();
            done(*got);
        });
}

PlaylistResolver::PlaylistResolver(QObject* parent) : QObject(parent) {}

void PlaylistResolver::read(const Lead& lead, Read done) {
    fetch_.get(lead, [done = std::move(done)](const FetchedText& got) {
        done(ReadPlaylist(got.text, got.address, got.contentType), got.address);
    });
}

void PlaylistResolver::checkVariants(std::set<std::string> onTheWay, Lead master, Found done) {
    variantFetch_.cancel();
    variants_.emplace(std::move(onTheWay), std::move(master));
    found_ = std::move(done);
    readVariant();
}

void PlaylistResolver::readVariant() {
    const std::optional<Lead> next = variants_->next();
    if (!next)
        return;
    variantFetch_.get(*next, [this](const FetchedText& got) {
        if (!variants_)
            return;
        if (auto problem = variants_->read(got.text, got.address)) {
            variants_.reset();
            if (auto found = std::move(found_))
                found(*problem);
            return;
        }
        readVariant();
    });
}

void PlaylistResolver::endVariantCheck() {
    variantFetch_.cancel();
    variants_.reset();
    found_ = nullptr;
}

void PlaylistResolver::cancel() {
    fetch_.cancel();
    endVariantCheck();
}

}  // namespace qv
