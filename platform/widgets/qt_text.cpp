#include "qt_text.h"

#include <QByteArray>

namespace qv {

QString ToQString(std::string_view gbk) {
    const std::string u = Utf8(gbk);
    return QString::fromUtf8(u.data(), static_cast<qsizetype>(u.size()));
}

Text FromQString(const QString& s) {
    const QByteArray u = s.toUtf8();
    return Gbk(std::string_view(u.constData(), static_cast<size_t>(u.size())));
}

}  // namespace qv
