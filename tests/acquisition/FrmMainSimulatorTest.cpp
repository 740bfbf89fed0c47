#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "AdapterSimulator.h"
#include "WindowHarness.h"
#include "acquisition/SensorTable.h"
#include "platform/web/CurlHttpClient.h"

namespace bw {
namespace {

QByteArray requestLine(int slot) {
  return "GET " + queryPath(kBuiltInRomCodes[static_cast<size_t>(slot)]).toLatin1() + " HTTP/1.1";
}

// The main window polling the simulated adapter over real HTTP.
class FrmMainSimulatorTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(adapter.start()); }
  std::unique_ptr<test::WindowHarness> window() {
    return std::make_unique<test::WindowHarness>(std::make_unique<CurlHttpClient>(),
                                                 adapter.host());
  }
  sim::AdapterSimulator adapter;
};

TEST_F(FrmMainSimulatorTest, TwelveThenSixteenSlotsReachTheAdapterInOrder) {
  auto h = window();
  int cycles = 0;
  QObject::connect(&h->form->pollingLoop(), &PollingLoop::cycleEnded, h->form.get(), [&] {
    if (++cycles == 1) h->form->ChkSixteenSensors->setCheckState(Qt::Checked);
    if (cycles == 2) h->form->endProgram();
  });
  h->form->Form_Load();
  QList<QByteArray> expected;
  for (int slot = 0; slot < 12; ++slot) expected.append(requestLine(slot));
  for (int slot = 0; slot < 16; ++slot) expected.append(requestLine(slot));
  EXPECT_EQ(adapter.requestLines(), expected);
  EXPECT_EQ(h->form->cboAddress->count(), 28);
  EXPECT_EQ(h->form->txtSensorNum->text(), QStringLiteral("16"));
  EXPECT_FALSE(h->form->txtTemperature->text().isEmpty());
}

TEST_F(FrmMainSimulatorTest, FaultySensorsShowSentinelsAndRepeats) {
  adapter.setFault(0, sim::Fault::EmptyValue);  // the first query of the run fails at the value
  adapter.setFixedTemperature(1, 12.5f);
  adapter.setFault(2, sim::Fault::NonNumeric);
  adapter.setFault(3, sim::Fault::NoElement);
  adapter.setFault(4, sim::Fault::Reset);
  auto h = window();
  h->runQueries(12);
  const Readings& r = h->form->pollingLoop().readings();
  EXPECT_EQ(r[0], 0.0f);
  EXPECT_EQ(r[1], 12.5f);
  EXPECT_EQ(r[2], 12.5f);
  EXPECT_EQ(r[3], -2.0f);
  EXPECT_EQ(r[4], -1.0f);
}

}  // namespace
}  // namespace bw
