#include "TestSupport.h"

#include "program/ContactDetails.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace orv;

namespace {

bool isEmpty(const ContactDetails& d) {
    return d.organisation.isEmpty() && d.address.isEmpty() && d.contact1.isEmpty() &&
           d.phone1.isEmpty() && d.contact2.isEmpty() && d.phone2.isEmpty() && d.fax.isEmpty() &&
           d.email.isEmpty() && d.web.isEmpty();
}

TEST(ContactDetails, ReadsWhatTheAgencySet) {
    QTemporaryDir dir;
    const QString path = dir.filePath("contact.ini");
    test::writeFile(path, "\xEF\xBB\xBF# set by the help desk\n[contact]\n"
                          "organisation = State Agency, ORV Unit\n"
                          "Address1 = 100 Main Street\nAddress3 = Capital City, ST 00000\n"
                          "Contact2 = Bo Lee\nPhone2 = (555) 123-4567\n"
                          "Email = orv.help@agency.example\nWeb = https://agency.example/orv\n"
                          "[Other]\nFax = not this one\n");
    const ContactDetails d = readContactDetails(path);
    EXPECT_EQ(d.address, QStringList({"100 Main Street", "Capital City, ST 00000"}));
    EXPECT_EQ(QStringList({d.organisation, d.contact2, d.phone2, d.fax}),
              QStringList({"State Agency, ORV Unit", "Bo Lee", "(555) 123-4567", ""}));
    EXPECT_EQ(contactMailUrl(d), "mailto:orv.help@agency.example?subject=ORV Help Request ");
    EXPECT_EQ(contactWebUrl(d), "https://agency.example/orv");
    ContactDetails bare;
    bare.web = "www.agency.example";
    EXPECT_EQ(contactWebUrl(bare), "http://www.agency.example");
    EXPECT_EQ(contactMailUrl(bare), "");
}

TEST(ContactDetails, TheShippedFileSaysWhereToSetThem) {
    const ContactDetails d =
        readContactDetails(QStringLiteral(ORV_SOURCE_DIR "/src/app/contact.ini"));
    EXPECT_TRUE(d.organisation.contains("contact.ini"));
    EXPECT_TRUE(d.email.isEmpty());
    EXPECT_TRUE(d.web.isEmpty());
}

struct BrokenCase {
    const char* what;
    QByteArray bytes;
};

void PrintTo(const BrokenCase& c, std::ostream* os) {
    *os << c.what;
}

class BrokenContactFileTest : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenContactFileTest, GivesEmptyDetails) {
    QTemporaryDir dir;
    const QString path = dir.filePath("contact.ini");
    if (!GetParam().bytes.isNull())
        test::writeFile(path, GetParam().bytes);
    EXPECT_TRUE(isEmpty(readContactDetails(path)));
}

const QByteArray kGood = "[Contact]\nOrganisation = Agency\nEmail = a@b.example\n";

INSTANTIATE_TEST_SUITE_P(
    Table, BrokenContactFileTest,
    ::testing::Values(BrokenCase{"missing", QByteArray()}, BrokenCase{"empty", ""},
                      BrokenCase{"no section", "Organisation = Agency\n"},
                      BrokenCase{"binary", kGood + QByteArray("\0\1\2", 3)},
                      BrokenCase{"not UTF-8", kGood + "Fax = \xff\xfe\n"},
                      BrokenCase{"too big", kGood + QByteArray(70 * 1024, '#')},
                      BrokenCase{"no values", "[Contact]\nOrganisation\n=Agency\n"}));

} // namespace
