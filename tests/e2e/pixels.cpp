#include "tests/e2e/pixels.h"

#include <QColor>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "art/artwork.h"
#include "qt_pictures.h"
#include "widgets/pictures.h"

namespace qv::e2e {
namespace {

constexpr QRgb kRgb = 0x00FFFFFF;

bool Near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

const QImage& Face() {
    static const QImage face = Picture(art::Face());
    return face;
}

std::string Hex(QRgb c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%06X", c & kRgb);
    return buf;
}

std::string Describe(const std::string& what, int count, QPoint at, QRgb want, QRgb got) {
    return what + ": " + std::to_string(count) + " pixels differ, the first at (" +
           std::to_string(at.x()) + ", " + std::to_string(at.y()) + "): want " + Hex(want) +
           ", see " + Hex(got);
}

bool Matches(const QImage& shot, int x0, int y0, const QImage& needle, int tolerance) {
    for (int y = 0; y < needle.height(); ++y) {
        for (int x = 0; x < needle.width(); ++x) {
            if (!Near(shot.pixel(x0 + x, y0 + y), needle.pixel(x, y), tolerance))
                return false;
        }
    }
    return true;
}

// Every visible control's box.
const std::vector<QRect>& ControlBoxes() {
    static const std::vector<QRect> boxes = {
        kHorizontalDivider,
        kVerticalDivider,
        kProvinceFrame,
        kClose,
        kMinimise,
        kCountLabel,
        kNameLabel,
        kTimeLabel,
        kStatusLabel,
        kPrevious,
        kPlay,
        kNext,
        {227, 5, 24, 16},  // the two link labels
        {190, 5, 24, 16},  //
        kMute,
        kVolume,
        kContact,
        kList,
    };
    return boxes;
}

// Whether pixel (x, y) of the window belongs to its outline: the mask's pixels other than magenta.
bool InOutline(int x, int y) {
    static const QImage mask = Picture(art::Mask());
    return mask.valid(x, y) && (mask.pixel(x, y) & kRgb) != 0xFF00FF;
}

}  // namespace

QRect ProvinceLabel(int n) {
    const int i = n - 1;
    return {kProvinceFrame.x() + 12 + (i % 2) * 49, kProvinceFrame.y() + 5 + (i / 2) * 20, 39, 18};
}

QPoint Centre(const QRect& r) {
    return {r.x() + r.width() / 2, r.y() + r.height() / 2};
}

QImage Picture(const Bytes& picture) {
    return DecodePicture(picture).convertToFormat(QImage::Format_RGB32);
}

QImage GroupPicture(const Bytes& group, int n) {
    return Picture(TakePicture(group, n));
}

std::string CheckOutline(const QImage& shot) {
    int count = 0;
    QPoint first;
    QRgb got = 0;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            if (InOutline(x, y) || (shot.pixel(x, y) & kRgb) == 0)
                continue;
            if (count++ == 0)
                first = {x, y}, got = shot.pixel(x, y);
        }
    }
    return count ? Describe("outside the outline", count, first, 0, got) : std::string();
}

std::string CheckBareFace(const QImage& shot) {
    const auto& boxes = ControlBoxes();
    int count = 0;
    QPoint first;
    QRgb want = 0, got = 0;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            if (!InOutline(x, y))
                continue;
            bool covered = false;
            for (const QRect& b : boxes) covered = covered || b.contains(x, y);
            if (covered || shot.pixel(x, y) == Face().pixel(x, y))
                continue;
            if (count++ == 0)
                first = {x, y}, want = Face().pixel(x, y), got = shot.pixel(x, y);
        }
    }
    return count ? Describe("the bare face", count, first, want, got) : std::string();
}

std::string CheckButton(const QImage& shot, const std::string& what, QPoint at,
                        const QImage& picture, std::optional<QRgb> key) {
    if (picture.isNull())
        return what + ": no picture to compare with";
    int count = 0;
    QPoint first;
    QRgb want = 0, got = 0;
    for (int py = 0; py < picture.height(); ++py) {
        for (int px = 0; px < picture.width(); ++px) {
            const int x = at.x() + px;
            const int y = at.y() + py;
            if (!InOutline(x, y))
                continue;
            const QRgb p = picture.pixel(px, py);
            const QRgb expected = key && (p & kRgb) == (*key & kRgb) ? Face().pixel(x, y) : p;
            if (shot.pixel(x, y) == expected)
                continue;
            if (count++ == 0)
                first = {x, y}, want = expected, got = shot.pixel(x, y);
        }
    }
    return count ? Describe(what, count, first, want, got) : std::string();
}

std::string CheckFilled(const QImage& shot, const std::string& what, const QRect& box,
                        QRgb colour) {
    int count = 0;
    QPoint first;
    QRgb got = 0;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x) {
            if (!InOutline(x, y) || shot.pixel(x, y) == colour)
                continue;
            if (count++ == 0)
                first = {x, y}, got = shot.pixel(x, y);
        }
    }
    return count ? Describe(what, count, first, colour, got) : std::string();
}

int SpeakerShown(const QImage& shot) {
    for (int n = 0; n < 5; ++n) {
        if (CheckButton(shot, "speaker", kMute.topLeft(), GroupPicture(art::SpeakerGroup(), n),
                        0xFFFFFFFF)
                .empty()) {
            return n;
        }
    }
    return -1;
}

std::optional<int> KnobPosition(const QImage& shot) {
    const QImage knobs[] = {GroupPicture(art::Knob(), 0), GroupPicture(art::Knob(), 1)};
    const int travel = kVolume.width() - knobs[0].width();
    for (int y = kVolume.top(); y + knobs[0].height() <= kVolume.bottom() + 1; ++y) {
        for (int x = kVolume.left(); x <= kVolume.left() + travel; ++x) {
            for (const QImage& k : knobs) {
                if (Matches(shot, x, y, k, 0))
                    return ((x - kVolume.left()) * 100 + travel / 2) / travel;
            }
        }
    }
    return std::nullopt;
}

int TextPixels(const QImage& shot, const QRect& area, QRgb colour) {
    // Glyph edges blend the text colour into what lies behind, so a pixel counts when it has
    // the colour's hue, clearly saturated, where the face shows something else.
    const int hue = QColor(colour).hsvHue();
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (!shot.valid(x, y))
                continue;
            const QColor p(shot.pixel(x, y));
            const int d = std::abs(p.hsvHue() - hue);
            if (p.hsvSaturationF() > 0.25 && std::min(d, 360 - d) <= 20 &&
                !(Face().valid(x, y) && Near(Face().pixel(x, y), shot.pixel(x, y), 30))) {
                ++n;
            }
        }
    }
    return n;
}

std::vector<int> ListRows(const QImage& shot) {
    static const QImage icon = GroupPicture(art::RowIcons(), 1);
    std::vector<int> tops;
    int column = -1;
    for (int y = kList.top(); y + icon.height() <= kList.bottom() + 1; ++y) {
        for (int x = kList.left(); x < kList.left() + 40; ++x) {
            if ((column < 0 || x == column) && Matches(shot, x, y, icon, 8)) {
                column = x;
                tops.push_back(y);
                y += icon.height() - 1;
                break;
            }
        }
    }
    return tops;
}

QPoint RowPoint(int rowTop) {
    return {kList.left() + 100, rowTop + 10};
}

}  // namespace qv::e2e
