// Turns the artwork sources into the stored pictures the program embeds, and the program's icon.
// Usage: quorvin_artgen ASSETS_DIR OUT_DIR ICON_NAME
// Fails unless it wrote exactly the pictures art/artwork_list.h names and the icon.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <cstdio>
#include <exception>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>

#include "art.h"
#include "encode.h"

namespace {

using artgen::State;

// The files the program embeds, as the list names them.
const char* const kListed[] = {
#define QV_ART(function, file) file,
#include "art/artwork_list.h"
#undef QV_ART
};

// The output folder, and the names written to it.
class Output final {
  public:
    explicit Output(QString dir) : dir_(std::move(dir)) {}

    void Write(const QString& name, const QByteArray& bytes, int expected = -1) {
        if (expected >= 0 && bytes.size() != expected) {
            throw std::runtime_error(name.toStdString() + ": " + std::to_string(bytes.size()) +
                                     " bytes, expected " + std::to_string(expected));
        }
        if (!written_.insert(name.toStdString()).second)
            throw std::runtime_error(name.toStdString() + " written twice");
        QFile out(dir_ + '/' + name);
        // Unchanged output keeps its time stamp, so nothing downstream rebuilds.
        if (out.open(QIODevice::ReadOnly) && out.readAll() == bytes) {
            return;
        }
        out.close();
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            out.write(bytes) != bytes.size()) {
            throw std::runtime_error("cannot write " + out.fileName().toStdString());
        }
    }

    // Throws unless the names written are the listed ones and `icon`, each once.
    void CheckAgainstList(const std::string& icon) const {
        std::set<std::string> wanted(std::begin(kListed), std::end(kListed));
        wanted.insert(icon);
        std::string differ;
        for (const std::string& name : wanted) {
            if (!written_.count(name))
                differ += " " + name + " (not written)";
        }
        for (const std::string& name : written_) {
            if (!wanted.count(name))
                differ += " " + name + " (not listed)";
        }
        if (!differ.empty())
            throw std::runtime_error("the pictures written are not the listed ones:" + differ);
    }

  private:
    QString dir_;
    std::set<std::string> written_;
};

void Generate(const QString& assets, const QString& folder, const QString& icon) {
    if (!QDir().mkpath(folder)) {
        throw std::runtime_error("cannot make " + folder.toStdString());
    }
    Output out(folder);
    const artgen::Silhouette silhouette(assets + QStringLiteral("/silhouette.txt"));
    if (silhouette.Width() != 345 || silhouette.Height() != 505 ||
        silhouette.KeptCount() != 159159) {
        throw std::runtime_error("silhouette must keep 159159 of 345 x 505 pixels, keeps " +
                                 std::to_string(silhouette.KeptCount()));
    }
    constexpr int kFaceBytes = 523236;
    out.Write("face.bmp", artgen::Bmp24(artgen::DrawFace(assets, silhouette), 2), kFaceBytes);
    out.Write("mask.bmp", artgen::Bmp24(silhouette.MaskPicture(), 2), kFaceBytes);

    out.Write("close_normal.bmp", artgen::Bmp24(artgen::DrawClose(State::Normal)));
    out.Write("close_hover.bmp", artgen::Bmp24(artgen::DrawClose(State::Hover)));
    out.Write("close_pressed.bmp", artgen::Bmp24(artgen::DrawClose(State::Pressed)));

    const QRgb magenta = qRgb(255, 0, 255);
    const QRgb white = qRgb(255, 255, 255);
    const QRgb yellow = qRgb(255, 255, 0);
    const QByteArray minHover = artgen::Jpeg(artgen::DrawMinimise(State::Hover), 92, &magenta);
    out.Write("minimise_normal.jpg",
              artgen::Jpeg(artgen::DrawMinimise(State::Normal), 92, &magenta));
    out.Write("minimise_hover.jpg", minHover);
    out.Write("minimise_pressed.jpg", minHover);
    out.Write("previous_normal.jpg", artgen::Jpeg(artgen::DrawSkip(false, false), 92));
    out.Write("previous_hover.jpg", artgen::Jpeg(artgen::DrawSkip(false, true), 92));
    out.Write("play_normal.jpg", artgen::Jpeg(artgen::DrawPlay(false, false), 92, &white));
    out.Write("play_hover.jpg", artgen::Jpeg(artgen::DrawPlay(false, true), 92, &white));
    out.Write("next_normal.jpg", artgen::Jpeg(artgen::DrawSkip(true, false), 92));
    out.Write("next_hover.jpg", artgen::Jpeg(artgen::DrawSkip(true, true), 92));
    out.Write("contact_normal.jpg", artgen::Jpeg(artgen::DrawContact(assets, false), 92, &yellow));
    out.Write("contact_hover.jpg", artgen::Jpeg(artgen::DrawContact(assets, true), 92, &yellow));

    using artgen::kFlagsMask32;
    using artgen::kFlagsMask32Trailer;
    out.Write("playing_look.mitl", artgen::Group(artgen::LookPictures(true), 37, 37, kFlagsMask32),
              45440);
    out.Write("stopped_look.mitl", artgen::Group(artgen::LookPictures(false), 37, 37, kFlagsMask32),
              45440);
    out.Write("speaker_group.mitl", artgen::Group(artgen::SpeakerPictures(), 14, 14, kFlagsMask32),
              6648);
    out.Write("track_first.mitl",
              artgen::Group(artgen::TrackPicture(false), 115, 8, kFlagsMask32Trailer), 30574);
    out.Write("track_second.mitl", artgen::Group(artgen::TrackPicture(true), 115, 8, kFlagsMask32),
              30552);
    out.Write("knob.mitl", artgen::Group(artgen::KnobPictures(), 4, 7, kFlagsMask32), 1104);
    out.Write("row_icons.mitl",
              artgen::Group(artgen::RowIconPictures(), 28, 20, kFlagsMask32Trailer), 18734);

    const std::vector<QImage> tray = artgen::TrayPictures(assets);
    out.Write("tray.ico", artgen::Ico(tray), 29926);
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        tray.back().save(&buffer, "PNG");
    }
    out.Write(icon, png);
    out.Write("list_background.jpg",
              artgen::PadJpeg(artgen::Jpeg(artgen::ListBackground(), 95), 10714), 10714);
    out.CheckAgainstList(icon.toStdString());
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s ASSETS_DIR OUT_DIR ICON_NAME\n", argv[0]);
        return 2;
    }
    try {
        Generate(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]),
                 QString::fromLocal8Bit(argv[3]));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "artgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
