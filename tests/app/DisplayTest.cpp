// Whether a window could be shown, told before the window system is started: a named platform
// or a Wayland display counts, an X display only when something listens on it.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

#include "app/Display.h"

namespace corvane {
namespace {

TEST(Display, NamedPlatformsAndWaylandAreTakenAtTheirWord) {
    EXPECT_FALSE(DisplayAvailable({}));
    EXPECT_TRUE(DisplayAvailable({"offscreen", "", "", ""}));
    EXPECT_TRUE(DisplayAvailable({"", "", "wayland-0", "/run/user/1000"}));
    EXPECT_TRUE(DisplayAvailable({"", "remote.example:0", "", ""})) << "only the toolkit can tell";
}

// A display number nobody serves is no display; one served in the abstract name space, as
// X servers also listen, is.
TEST(Display, ALocalXDisplayCountsOnlyWhileSomethingListens) {
    const int number = 4000 + int(::getpid() % 1000);
    const std::string display = ":" + std::to_string(number);
    EXPECT_FALSE(DisplayAvailable({"", display, "", ""}));
    EXPECT_FALSE(DisplayAvailable({"", display + ".0", "", ""}));

    const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name = std::string(1, '\0') + "/tmp/.X11-unix/X" + std::to_string(number);
    std::memcpy(address.sun_path, name.data(), name.size());
    ASSERT_EQ(::bind(server, reinterpret_cast<sockaddr*>(&address),
                     socklen_t(offsetof(sockaddr_un, sun_path) + name.size())),
              0);
    ASSERT_EQ(::listen(server, 1), 0);
    EXPECT_TRUE(DisplayAvailable({"", display, "", ""}));
    EXPECT_TRUE(DisplayAvailable({"", "unix" + display + ".0", "", ""}));
    ::close(server);
}

} // namespace
} // namespace corvane
