#include "store/CasterEntry.h"

namespace tessadorn {

void CasterEntry::clear() {
    *this = CasterEntry{};
}

} // namespace tessadorn
