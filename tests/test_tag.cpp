// The tag manager: tag store files, the dictionary they fill, and the lookups.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "scratch_dir.h"
#include "tag/tag_id_reader.h"
#include "tag/tag_manager.h"
#include "zttools.h"

namespace {

std::string tag(const std::string& name, const std::string& id,
                const std::vector<std::pair<std::string, std::string>>& values,
                const std::string& extraAttributes = "") {
  std::string xml =
      "<tag name=\"" + name + "\"" + extraAttributes + "><id>" + id + "</id><tagvalues>";
  for (const auto& [valueName, valueId] : values) {
    xml += "<tagvalue name=\"" + valueName + "\"><value>" + valueId + "</value></tagvalue>";
  }
  return xml + "</tagvalues></tag>";
}

std::string store(const std::string& tags, const std::string& rootAttributes = "") {
  return "<?xml version=\"1.0\"?>\n<vexkoratagstore" + rootAttributes + ">\n  <tags>\n    " + tags +
         "\n  </tags>\n</vexkoratagstore>\n";
}

// A fresh manager, and store files in a fresh folder.
class TagManager : public ::testing::Test {
 protected:
  bool load(const std::string& tags) {
    return manager.load(dir.write("s.xml", store(tags)).c_str());
  }

  ScratchDir dir;
  zt::tag::KORATagManager manager;
};

TEST_F(TagManager, LoadsTagsWithTheirValues) {
  ASSERT_TRUE(
      load(tag("Color", "1", {{"Red", "0"}, {"Blue", "1"}}) + tag("Size", " 2", {{"A4", "10"}})));

  EXPECT_EQ(manager.dictionary().idCount(), 2u);
  EXPECT_EQ(manager.dictionary().nameCount(), 2u);
  const auto& color = *manager.dictionary().byName("Color");
  EXPECT_EQ(color.valueNames(), (std::map<int32_t, std::string>{{0, "Red"}, {1, "Blue"}}));
  EXPECT_EQ(color.valueIds(), (std::map<std::string, int32_t>{{"Blue", 1}, {"Red", 0}}));

  EXPECT_EQ(manager.getTagId("Size"), 2);
  EXPECT_EQ(manager.lookupTagId("Size"), 2);
  EXPECT_STREQ(manager.getTagName(1), "Color");
  EXPECT_EQ(manager.getValueId(2, "A4"), 10);
  EXPECT_STREQ(manager.getValueName(2, 10), "A4");
  // Absent things, and names matched byte for byte.
  EXPECT_EQ(manager.getTagId("color"), KORA_TAG_NOT_FOUND);
  EXPECT_EQ(manager.getValueId(1, "red"), KORA_TAG_NOT_FOUND);
  EXPECT_EQ(manager.getValueId(9, "Red"), KORA_TAG_NOT_FOUND);
  EXPECT_STREQ(manager.getValueName(9, 0), "");
}

TEST_F(TagManager, ReadsIdsAsStrtolWithBaseZero) {
  struct Case {
    const char* text;
    int32_t tagId;
    int32_t valueId;
  };
  const Case cases[] = {
      {"0x10", 16, 16},    {"010", 8, 8},
      {"65536", 0, 65536}, {"-1", 65535, -1},
      {"abc", 0, 0},       {"4294967297", 65535, INT32_MAX},  // a 32-bit strtol saturates
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(load(tag("T", c.text, {{"V", c.text}}))) << c.text;
    EXPECT_EQ(manager.getTagId("T"), c.tagId) << c.text;
    EXPECT_EQ(manager.getValueId(c.tagId, "V"), c.valueId) << c.text;
  }
  // The reader against strtol itself, on the corners of what strtol accepts.
  for (const char* text :
       {" \t\n\v\f\r+12", "-0x7fffffff", "0X1fg", "0x", "-0xg", "08", "0777", "+-1", "-2147483649",
        "2147483648", "-9223372036854775809", "99999999999999999999", "0xFFFFFFFF", "z1", "", " -0",
        // the edges of the inline reading: nine digits, a lone 0
        "999999999", "1000000000", "2147483647x", "0", "07", "09", "0 1"}) {
    EXPECT_EQ(zt::tag::readId(text),
              std::clamp<long>(std::strtol(text, nullptr, 0), INT32_MIN, INT32_MAX))
        << text;
  }
}

// By id and by name, values are filed independently and later ones win, in a short list as in
// one long enough to be indexed.
TEST_F(TagManager, ValuesAreFiledByIdAndByNameIndependently) {
  for (const int filler : {0, 40}) {
    std::vector<std::pair<std::string, std::string>> values;
    for (int n = 0; n < filler; ++n) {
      values.emplace_back("f" + std::to_string(n / 3), std::to_string(100 + n / 4));
    }
    values.insert(values.end(), {{"A", "1"}, {"A", "2"}, {"B", "1"}});
    std::map<int32_t, std::string> names;
    std::map<std::string, int32_t> ids;
    for (const auto& [name, id] : values) {
      names[std::stoi(id)] = name;
      ids[name] = std::stoi(id);
    }
    ASSERT_TRUE(load(tag("T", "3", values)));
    for (const auto& [name, id] : values) {
      EXPECT_STREQ(manager.getValueName(3, std::stoi(id)), names[std::stoi(id)].c_str()) << filler;
      EXPECT_EQ(manager.getValueId(3, name.c_str()), ids[name]) << filler;
    }
    EXPECT_EQ(manager.getValueId(3, "g"), KORA_TAG_NOT_FOUND);
  }
}

// Names of every length come through whole (each of the short copy's cases, and longer ones
// growing and shrinking), and a value without a name attribute takes the last name seen.
TEST_F(TagManager, NamesOfAnyLengthAndReusedNames) {
  std::string tags;
  const std::size_t lengths[] = {0, 1, 2, 3, 4, 7, 8, 9, 16, 17, 63, 64, 65, 200, 3, 129, 1000};
  for (std::size_t n = 0; n < std::size(lengths); ++n) {
    const std::string name(lengths[n], static_cast<char>('a' + n));
    tags += tag(name, std::to_string(n), {{name + "v", "7"}});
  }
  tags +=
      "<tag name=\"Last\"><id>20</id><tagvalues><tagvalue><value>1</value></tagvalue>"
      "</tagvalues></tag>";
  ASSERT_TRUE(load(tags));
  for (std::size_t n = 0; n < std::size(lengths); ++n) {
    const std::string name(lengths[n], static_cast<char>('a' + n));
    EXPECT_EQ(manager.getTagName(static_cast<int32_t>(n)), name) << lengths[n];
    EXPECT_EQ(manager.getValueName(static_cast<int32_t>(n), 7), name + "v") << lengths[n];
  }
  EXPECT_STREQ(manager.getValueName(20, 1), "Last");
}

TEST_F(TagManager, LaterTagWithTheSameIdReplacesTheEarlierById) {
  ASSERT_TRUE(load(tag("First", "5", {{"A", "1"}}) + tag("Second", "5", {{"B", "2"}})));
  EXPECT_STREQ(manager.getTagName(5), "Second");
  EXPECT_EQ(manager.getTagId("First"), 5);
  EXPECT_EQ(manager.getTagId("Second"), 5);
  EXPECT_EQ(manager.dictionary().byName("First")->valueIds().count("A"), 1u);
  EXPECT_EQ(manager.dictionary().byName("Second")->valueIds().count("A"), 0u);
  const char* second = manager.getTagName(5);  // valid while either index holds its item
  ASSERT_TRUE(load(tag("Third", "5", {}) + tag("Fourth", "6", {})));
  EXPECT_STREQ(second, "Second");
}

TEST_F(TagManager, ForeignAttributeStopsTheLoadExceptOnTheRoot) {
  const std::string tags =
      tag("Kept", "1", {}) + tag("Bad", "2", {}, " color=\"red\"") + tag("Never", "3", {});
  EXPECT_FALSE(load(tags));
  EXPECT_EQ(manager.getTagId("Kept"), 1) << "what was read before the stop stays";
  EXPECT_EQ(manager.getTagId("Never"), KORA_TAG_NOT_FOUND);

  // A foreign attribute that is not the element's last does not count.
  EXPECT_TRUE(load("<tag color=\"red\" name=\"T\"><id>4</id></tag>"));
  EXPECT_EQ(manager.getTagId("T"), 4);

  EXPECT_TRUE(manager.load(dir.write("s.xml", store(tag("T", "1", {}), " color=\"red\"")).c_str()));
  EXPECT_EQ(manager.getTagId("T"), 1);
}

TEST_F(TagManager, LoadingAgainAddsAndReplacesWithoutEmptying) {
  const std::string first = dir.write("a.xml", store(tag("A", "1", {{"x", "1"}})));
  ASSERT_TRUE(manager.load(first.c_str()));
  ASSERT_TRUE(manager.load(first.c_str()));
  EXPECT_EQ(manager.dictionary().idCount(), 1u);
  EXPECT_EQ(manager.getValueId(1, "x"), 1);
  // The same keys get new items: the values of the old ones go with them.
  ASSERT_TRUE(load(tag("A", "1", {{"y", "2"}})));
  EXPECT_EQ(manager.getValueId(1, "x"), KORA_TAG_NOT_FOUND);
  EXPECT_STREQ(manager.getValueName(1, 2), "y");
  const std::size_t made = manager.dictionary().itemsMade();  // released items are reused
  ASSERT_TRUE(manager.load(first.c_str()) && manager.load(first.c_str()));
  EXPECT_EQ(manager.dictionary().itemsMade(), made);

  ASSERT_TRUE(load(tag("B", "2", {})));
  EXPECT_EQ(manager.getTagId("A"), 1);
  EXPECT_EQ(manager.getTagId("B"), 2);

  // A failed load still names its path and keeps the dictionary.
  const std::string missing = (dir.path() / "missing.xml").string();
  EXPECT_FALSE(manager.load(missing.c_str()));
  EXPECT_STREQ(manager.getPath(), missing.c_str());
  EXPECT_EQ(manager.getTagId("A"), 1);
  EXPECT_FALSE(manager.load(dir.write("s.xml", "<vexkoratagstore>").c_str()));
  EXPECT_FALSE(manager.load(nullptr));
  EXPECT_EQ(manager.getTagId("B"), 2);
}

// Reloads hand released items to tags of other sizes: names and values that fit inside an item
// and ones that need a block of their own, in both directions, answer alike.
TEST_F(TagManager, ReusedItemsTakeTagsOfEverySize) {
  const auto storeOf = [](std::size_t nameLength, int values) {
    std::string tags;
    for (int n = 0; n < 8; ++n) {
      const std::string name(nameLength + static_cast<std::size_t>(n), static_cast<char>('a' + n));
      std::vector<std::pair<std::string, std::string>> list;
      for (int v = 0; v < values; ++v) {
        list.emplace_back(name.substr(0, static_cast<std::size_t>(v) % 9) + "v" + std::to_string(v),
                          std::to_string(v));
      }
      tags += tag(name, std::to_string(n), list);
    }
    return tags;
  };
  const std::pair<std::size_t, int> sizes[] = {{2, 3}, {40, 30}, {2, 3}, {100, 1}, {1, 20}, {2, 3}};
  for (std::size_t round = 0; round < std::size(sizes); ++round) {
    const auto [nameLength, values] = sizes[round];
    ASSERT_TRUE(load(storeOf(nameLength, values))) << round;
    for (int n = 0; n < 8; ++n) {
      const std::string name(nameLength + static_cast<std::size_t>(n), static_cast<char>('a' + n));
      EXPECT_EQ(manager.getTagName(n), name) << round;
      EXPECT_EQ(manager.getTagId(name.c_str()), n) << round;
      for (int v = 0; v < values; ++v) {
        const std::string value =
            name.substr(0, static_cast<std::size_t>(v) % 9) + "v" + std::to_string(v);
        EXPECT_EQ(manager.getValueName(n, v), value) << round;
        EXPECT_EQ(manager.getValueId(n, value.c_str()), v) << round;
      }
    }
  }
  // The names of each size stay filed, the replaced ones were reused.
  EXPECT_LT(manager.dictionary().itemsMade(), 8 * std::size(sizes));
}

TEST_F(TagManager, UnknownIdsGetGeneratedNames) {
  EXPECT_EQ(manager.getTagId("anything"), KORA_TAG_NOT_FOUND);
  EXPECT_STREQ(manager.getTagName(26), "0x001a");
  EXPECT_EQ(manager.getTagId("0x001a"), 26);
  EXPECT_STREQ(manager.getValueName(26, 0), "");
  EXPECT_STREQ(manager.lookupTagName(4096), "0x1000");
  // The ends of the range; ids that cannot be filed under themselves change nothing.
  EXPECT_STREQ(manager.getTagName(0), "0x0000");
  EXPECT_STREQ(manager.getTagName(65535), "0xffff");
  EXPECT_STREQ(manager.getTagName(65536), "");
  EXPECT_STREQ(manager.getTagName(-1), "");
  EXPECT_EQ(manager.dictionary().idCount(), 4u);
}

}  // namespace
