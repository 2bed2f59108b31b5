// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/display.h"

#include <QtGlobal>

#include <gtest/gtest.h>

#include <optional>

namespace {

// The choice holds while the application object is made and is gone afterwards; a value the
// user set stays as it was, whatever it is.
TEST(FramesOverConnection, setsTheChoiceOnlyForItsLifetimeAndNeverOverridesTheUser)
{
    constexpr char name[] = "QT_XCB_NO_MITSHM";
    const std::optional<QByteArray> saved =
        qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
    const auto setTo = [&](const std::optional<QByteArray> &value) {
        return value ? qputenv(name, *value) : qunsetenv(name);
    };

    const std::optional<QByteArray> cases[] = {std::nullopt, QByteArray("0"), QByteArray()};
    for (const auto &user : cases) {
        setTo(user);
        {
            const toolkit::FramesOverConnection frames;
            EXPECT_TRUE(qEnvironmentVariableIsSet(name));
            EXPECT_EQ(qgetenv(name), user.value_or("1"));
        }
        EXPECT_EQ(qEnvironmentVariableIsSet(name), user.has_value());
        EXPECT_EQ(qgetenv(name), user.value_or(QByteArray()));
    }
    setTo(saved);
}

} // namespace
