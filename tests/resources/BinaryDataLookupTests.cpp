#include "EmbeddedResource.h"

#include <gtest/gtest.h>

#include <iterator>

namespace
{
    struct TableEntry
    {
        const char* resourceName;
        const char* fileName;
    };

    // Every embedded file, in the order of the resource lists.
    const TableEntry table[] = {
        { "help_0_htm", "help_0.htm" },
        { "help_1_htm", "help_1.htm" },
        { "help_2_htm", "help_2.htm" },
        { "help_4_htm", "help_4.htm" },
        { "IR_01_Neve1073_dc_wav", "IR_01_Neve1073_dc.wav" },
        { "IR_02_API512_dc_wav", "IR_02_API512_dc.wav" },
        { "IR_03_DRAWMER1960_dc_wav", "IR_03_DRAWMER1960_dc.wav" },
        { "IR_04_SS_MP573_dc_wav", "IR_04_SS_MP573_dc.wav" },
        { "IR_05_OSA_MP1_dc_wav", "IR_05_OSA_MP1_dc.wav" },
        { "IR_06_UA1176_dc_wav", "IR_06_UA1176_dc.wav" },
        { "IR_07_7X500_dc_wav", "IR_07_7X500_dc.wav" },
        { "IR_08_TLA50_dc_wav", "IR_08_TLA50_dc.wav" },
        { "Trella_logo_180x48_png", "Trella_logo_180x48.png" },
        { "logo_Kro_150x48_png", "logo_Kro_150x48.png" },
        { "snow_png", "snow.png" },
        { "Trella_icon_png", "Trella_icon.png" },
    };

    juce::uint32 nameHash (const char* name)
    {
        juce::uint32 hash = 0;
        for (; *name != 0; ++name)
            hash = 31 * hash + (juce::uint32) *name;
        return hash;
    }
} // namespace

TEST (BinaryDataLookup, ListsHoldTheTableInOrder)
{
    ASSERT_EQ (BinaryData::namedResourceListSize, (int) std::size (table));

    for (int i = 0; i < BinaryData::namedResourceListSize; ++i)
    {
        EXPECT_STREQ (BinaryData::namedResourceList[i], table[i].resourceName) << "entry " << i;
        EXPECT_STREQ (BinaryData::originalFilenames[i], table[i].fileName) << "entry " << i;
    }
}

TEST (BinaryDataLookup, EveryNameFindsTheCommittedFileFollowedByAZeroByte)
{
    const juce::File folder (KRO_RESOURCES_DIR);

    for (const auto& entry : table)
    {
        SCOPED_TRACE (entry.resourceName);
        const auto resource = EmbeddedResource::find (entry.resourceName);
        ASSERT_NE (resource.data, nullptr);

        juce::MemoryBlock committed;
        ASSERT_TRUE (folder.getChildFile (entry.fileName).loadFileAsData (committed));
        ASSERT_EQ ((size_t) resource.size, committed.getSize());
        EXPECT_EQ (std::memcmp (resource.data, committed.getData(), committed.getSize()), 0);

        // Every resource can also be read as zero-terminated text.
        EXPECT_EQ (resource.data[resource.size], 0);

        EXPECT_STREQ (BinaryData::getNamedResourceOriginalFilename (entry.resourceName), entry.fileName);
    }
}

TEST (BinaryDataLookup, DirectSymbolsAreTheArraysTheLookupReturns)
{
    const struct
    {
        const char* name;
        const char* data;
        int size;
    } symbols[] = {
        { "snow_png", BinaryData::snow_png, BinaryData::snow_pngSize },
        { "logo_Kro_150x48_png", BinaryData::logo_Kro_150x48_png, BinaryData::logo_Kro_150x48_pngSize },
        { "Trella_logo_180x48_png", BinaryData::Trella_logo_180x48_png, BinaryData::Trella_logo_180x48_pngSize },
    };

    for (const auto& symbol : symbols)
    {
        const auto resource = EmbeddedResource::find (symbol.name);
        EXPECT_EQ (resource.data, symbol.data) << symbol.name;
        EXPECT_EQ (resource.size, symbol.size) << symbol.name;
    }
}

TEST (BinaryDataLookup, NamesOutsideTheTableSelectNothing)
{
    // "snow_qOg" is not a resource name but has the same name hash as "snow_png".
    ASSERT_EQ (nameHash ("snow_qOg"), nameHash ("snow_png"));

    const char* const strangers[] = { "help_1.htm", "snow.png",    "",        nullptr, "HELP_1_HTM",
                                      "help_1_ht",  "help_1_htm ", "snow_qOg" };

    for (const char* name : strangers)
    {
        SCOPED_TRACE (name == nullptr ? "(null)" : name);
        int size = 1234;
        EXPECT_EQ (BinaryData::getNamedResource (name, size), nullptr);
        EXPECT_EQ (size, 0);
        EXPECT_EQ (BinaryData::getNamedResourceOriginalFilename (name), nullptr);
    }
}
