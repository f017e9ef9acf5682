#include "console/CasterSync.h"

#include <gtest/gtest.h>

namespace tessadorn {
namespace {

// The modem's APN block reaches the list as the file can hold it, so that the next start finds
// it equal and writes nothing.
TEST(CasterSync, ApnFromTheModemIsKeptAsTheFileHoldsIt) {
    struct Case {
        std::size_t length;
        std::size_t kept;
    };
    for (const auto& c : {Case{0, 0}, Case{49, 49}, Case{50, 49}, Case{99, 49}}) {
        DeviceConfig::Values device;
        device.ApnName = std::string(c.length, 'a');
        device.ApnUser = std::string(c.length, 'u');
        device.ApnPassword = std::string(c.length, 'p');
        CasterDocument doc;
        doc.apn = "x";
        ASSERT_TRUE(caster_sync::syncApn(device, doc)) << c.length;
        EXPECT_EQ(doc.apn, std::string(c.kept, 'a')) << c.length;
        EXPECT_EQ(doc.carrierUser, std::string(c.kept, 'u')) << c.length;
        EXPECT_EQ(doc.carrierPassword, std::string(c.kept, 'p')) << c.length;
        EXPECT_EQ(doc.carrier, "yes");
        EXPECT_FALSE(caster_sync::syncApn(device, doc)) << c.length << ": equal the next time";
    }
}

} // namespace
} // namespace tessadorn
