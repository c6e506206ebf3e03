// A sale's total in exact decimal arithmetic, rounded to cents as the CF-e
// rules round each item (indRegra A: ABNT NBR 5891; T: truncation).
#include <gtest/gtest.h>

#include "simulator/cfe_document.h"
#include "simulator/decimal_amount.h"
#include "simulator/text_utils.h"
#include "test_device.h"

namespace tavik::simulator::testing {
namespace {

struct Item {
  std::string quantity;
  std::string unit_price;
  std::string rule = "A";
  std::string discount = "";
  std::string surcharge = "";
};

struct TotalCase {
  const char* name;
  std::vector<Item> items;
  std::string expected;
  std::string subtotal_discount = "";
  std::string subtotal_surcharge = "";
};

std::string sale_with(const TotalCase& c) {
  std::string dets;
  int n = 0;
  for (const auto& item : c.items) {
    const std::string number = std::to_string(++n);
    dets += "<det nItem=\"" + number + "\"><prod><cProd>" + number + "</cProd><xProd>x</xProd>" +
            "<qCom>" + item.quantity + "</qCom><vUnCom>" + item.unit_price + "</vUnCom><indRegra>" + item.rule +
            "</indRegra>" + (item.discount.empty() ? "" : "<vDesc>" + item.discount + "</vDesc>") +
            (item.surcharge.empty() ? "" : "<vOutro>" + item.surcharge + "</vOutro>") + "</prod><imposto/></det>";
  }
  std::string total = "<total/>";
  if (!c.subtotal_discount.empty() || !c.subtotal_surcharge.empty()) {
    total = "<total><DescAcrEntr>" +
            (c.subtotal_discount.empty() ? "" : "<vDescSubtot>" + c.subtotal_discount + "</vDescSubtot>") +
            (c.subtotal_surcharge.empty() ? "" : "<vAcresSubtot>" + c.subtotal_surcharge + "</vAcresSubtot>") +
            "</DescAcrEntr></total>";
  }
  return "<CFe><infCFe versaoDadosEnt=\"0.08\"><ide><signAC>" + signature() + "</signAC></ide>" + dets + total +
         "</infCFe></CFe>";
}

class SaleTotal : public ::testing::TestWithParam<TotalCase> {};

TEST_P(SaleTotal, IsExactToTheCent) {
  EXPECT_EQ(amount_text(sale_total_cents(sale_with(GetParam()))), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SaleTotal,
    ::testing::Values(
        // 4-decimal quantities: 9.999 rounds up, truncation keeps 9.99.
        TotalCase{"FourDecimalsRoundUp", {{"0.3333", "30.00"}}, "10.00"},
        TotalCase{"FourDecimalsTruncated", {{"0.3333", "30.00", "T"}}, "9.99"},
        // Binary floating point gives 12.549999... and 0.005 x 100 lost in cents.
        TotalCase{"ThreeDecimalsExact", {{"1.255", "10.00"}}, "12.55"},
        TotalCase{"HalfCentQuantity", {{"0.005", "100.00"}}, "0.50"},
        TotalCase{"ThreeDecimalPrice", {{"3.000", "0.333"}}, "1.00"},
        // Exactly half a cent: NBR 5891 goes to the even cent; more than half rounds up.
        TotalCase{"HalfToEvenStays", {{"0.125", "1.00"}}, "0.12"},
        TotalCase{"HalfToEvenRises", {{"0.135", "1.00"}}, "0.14"},
        TotalCase{"OverHalfRises", {{"0.1251", "1.00"}}, "0.13"},
        TotalCase{"TruncatedNeverRises", {{"2.9999", "1.99", "T"}}, "5.96"},
        // Several items are rounded one by one, then added.
        TotalCase{"ItemsRoundedEachThenAdded", {{"0.3333", "30.00"}, {"1.255", "10.00"}, {"0.005", "100.00"}}, "23.05"},
        TotalCase{"ManySmallItems",
                  {{"0.0015", "1.00"}, {"0.0015", "1.00"}, {"0.0015", "1.00"}, {"0.0015", "1.00"}},
                  "0.00"},
        TotalCase{"ItemDiscountAndSurcharge", {{"2.000", "12.90", "A", "1.30", "0.10"}, {"1", "0.50"}}, "25.10"},
        TotalCase{"SubtotalDiscount", {{"3", "9.99"}}, "27.97", "2.00"},
        TotalCase{"SubtotalSurcharge", {{"1.500", "4.00"}}, "6.25", "", "0.25"},
        TotalCase{"LargeAmounts", {{"12345.6789", "98765.43"}}, "1219326285.20"},
        TotalCase{"NoItems", {}, "0.00"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DecimalAmount, ParsesOnlyPlainDecimals) {
  for (const char* bad : {"", ".", "1.", "1e3", " 1", "1,50", "0x10", "1.2.3", "--1", "1234567890123456789"}) {
    EXPECT_FALSE(parse_decimal(bad).has_value()) << '"' << bad << '"';
  }
  const auto value = parse_decimal("-0.005");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->units, -5);
  EXPECT_EQ(value->scale, 3);
  EXPECT_EQ(cents_of(*parse_decimal(".5")), 50);
  EXPECT_EQ(cents_of(*parse_decimal("-0.015")), -2);  // half to even below zero too
}

TEST(DecimalAmount, SaleAnswerCarriesTheExactTotal) {
  FiscalModule module(activated_config());
  Caller call(module);
  const TotalCase sale{"", {{"1.255", "10.00"}, {"0.3333", "30.00"}}, ""};
  const auto answer = call(codec::SatFunction::EnviarDadosVenda, {kCode, sale_with(sale)});
  ASSERT_EQ(answer.contents.at(0), "06000");
  EXPECT_EQ(answer.contents.at(8), "22.55");  // valorTotalCFe, field 10
}

}  // namespace
}  // namespace tavik::simulator::testing
