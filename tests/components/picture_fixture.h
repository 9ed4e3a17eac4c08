#pragma once
// A component list over an image cache that reads pictures from memory, for the picture
// components' tests; the process-wide cache pointer is restored afterwards.
#include "base/text.h"
#include "components/baselist.h"
#include "components/images.h"
#include "graphics/bromcache.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ruko::test {

class TPictureListTest : public ::testing::Test
{
  protected:
    // Pictures by upper-cased file name.
    std::map<std::string, std::vector<uint8_t>> files_;
    std::unique_ptr<TBromCollection> cache_;
    std::unique_ptr<TRukoBaseList> list_;
    TBromCollection* savedCache_ = nullptr;

    void StartList(int32_t width, int32_t height)
    {
        RegisterImageKinds();
        TBromFileSource source;
        source.Exists = [this](const std::string& name) { return files_.count(UpperCaseText(name)) > 0; };
        source.Load = [this](const std::string& name) { return files_.at(UpperCaseText(name)); };
        cache_ = std::make_unique<TBromCollection>(source, 0);
        savedCache_ = BromMan;
        BromMan = cache_.get();
        list_ = std::make_unique<TRukoBaseList>();
        list_->SetSize(width, height);
    }
    void TearDown() override
    {
        list_.reset();
        BromMan = savedCache_;
        cache_.reset();
    }
};

} // namespace ruko::test
