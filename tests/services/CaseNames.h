#pragma once

#include <gtest/gtest.h>

#include <string>

/** Names the cases of a table test after their `name` field. */
template <typename Case>
std::string nameOfCase (const testing::TestParamInfo<Case>& info)
{
    return info.param.name;
}
