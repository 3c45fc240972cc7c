// Turns the artwork sources into the stored pictures the program embeds.
// Usage: quorvin_artgen ASSETS_DIR OUT_DIR
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <cstdio>
#include <exception>
#include <stdexcept>

#include "art.h"
#include "encode.h"

namespace {

using artgen::State;

void Write(const QString& dir, const QString& name, const QByteArray& bytes, int expected = -1) {
    if (expected >= 0 && bytes.size() != expected) {
        throw std::runtime_error(name.toStdString() + ": " + std::to_string(bytes.size()) +
                                 " bytes, expected " + std::to_string(expected));
    }
    QFile out(dir + '/' + name);
    // Unchanged output keeps its time stamp, so nothing downstream rebuilds.
    if (out.open(QIODevice::ReadOnly) && out.readAll() == bytes) {
        return;
    }
    out.close();
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(bytes) != bytes.size()) {
        throw std::runtime_error("cannot write " + out.fileName().toStdString());
    }
}

void Generate(const QString& assets, const QString& out) {
    if (!QDir().mkpath(out)) {
        throw std::runtime_error("cannot make " + out.toStdString());
    }
    const artgen::Silhouette silhouette(assets + QStringLiteral("/silhouette.txt"));
    if (silhouette.Width() != 345 || silhouette.Height() != 505 ||
        silhouette.KeptCount() != 159159) {
        throw std::runtime_error("silhouette must keep 159159 of 345 x 505 pixels, keeps " +
                                 std::to_string(silhouette.KeptCount()));
    }
    constexpr int kFaceBytes = 523236;
    Write(out, "face.bmp", artgen::Bmp24(artgen::DrawFace(assets, silhouette), 2), kFaceBytes);
    Write(out, "mask.bmp", artgen::Bmp24(silhouette.MaskPicture(), 2), kFaceBytes);

    Write(out, "close_normal.bmp", artgen::Bmp24(artgen::DrawClose(State::Normal)));
    Write(out, "close_hover.bmp", artgen::Bmp24(artgen::DrawClose(State::Hover)));
    Write(out, "close_pressed.bmp", artgen::Bmp24(artgen::DrawClose(State::Pressed)));

    const QRgb magenta = qRgb(255, 0, 255);
    const QRgb white = qRgb(255, 255, 255);
    const QRgb yellow = qRgb(255, 255, 0);
    const QByteArray minHover = artgen::Jpeg(artgen::DrawMinimise(State::Hover), 92, &magenta);
    Write(out, "minimise_normal.jpg",
          artgen::Jpeg(artgen::DrawMinimise(State::Normal), 92, &magenta));
    Write(out, "minimise_hover.jpg", minHover);
    Write(out, "minimise_pressed.jpg", minHover);
    Write(out, "previous_normal.jpg", artgen::Jpeg(artgen::DrawSkip(false, false), 92));
    Write(out, "previous_hover.jpg", artgen::Jpeg(artgen::DrawSkip(false, true), 92));
    Write(out, "play_normal.jpg", artgen::Jpeg(artgen::DrawPlay(false, false), 92, &white));
    Write(out, "play_hover.jpg", artgen::Jpeg(artgen::DrawPlay(false, true), 92, &white));
    Write(out, "next_normal.jpg", artgen::Jpeg(artgen::DrawSkip(true, false), 92));
    Write(out, "next_hover.jpg", artgen::Jpeg(artgen::DrawSkip(true, true), 92));
    Write(out, "contact_normal.jpg", artgen::Jpeg(artgen::DrawContact(assets, false), 92, &yellow));
    Write(out, "contact_hover.jpg", artgen::Jpeg(artgen::DrawContact(assets, true), 92, &yellow));

    using artgen::kFlagsMask32;
    using artgen::kFlagsMask32Trailer;
    Write(out, "playing_look.mitl", artgen::Group(artgen::LookPictures(true), 37, 37, kFlagsMask32),
          45440);
    Write(out, "stopped_look.mitl",
          artgen::Group(artgen::LookPictures(false), 37, 37, kFlagsMask32), 45440);
    Write(out, "speaker_group.mitl", artgen::Group(artgen::SpeakerPictures(), 14, 14, kFlagsMask32),
          6648);
    Write(out, "track_first.mitl",
          artgen::Group(artgen::TrackPicture(false), 115, 8, kFlagsMask32Trailer), 30574);
    Write(out, "track_second.mitl", artgen::Group(artgen::TrackPicture(true), 115, 8, kFlagsMask32),
          30552);
    Write(out, "knob.mitl", artgen::Group(artgen::KnobPictures(), 4, 7, kFlagsMask32), 1104);
    Write(out, "row_icons.mitl",
          artgen::Group(artgen::RowIconPictures(), 28, 20, kFlagsMask32Trailer), 18734);

    const std::vector<QImage> tray = artgen::TrayPictures(assets);
    Write(out, "tray.ico", artgen::Ico(tray), 29926);
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        tray.back().save(&buffer, "PNG");
    }
    Write(out, "org.quorvin.Quorvin.png", png);
    Write(out, "list_background.jpg",
          artgen::PadJpeg(artgen::Jpeg(artgen::ListBackground(), 95), 10714), 10714);
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ASSETS_DIR OUT_DIR\n", argv[0]);
        return 2;
    }
    try {
        Generate(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "artgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
