#include "radio/province_query.h"

#include "database/database.h"

namespace qv {
namespace {

const Text kQueryHead = Gbk("select * from radio where 省份 like  '%");
const Text kQueryTail = Gbk("%'order by 电台名称 ASC");

}  // namespace

Text ProvinceQuery(const Text& province) {
    return kQueryHead + EscapeSqlText(province) + kQueryTail;
}

}  // namespace qv
