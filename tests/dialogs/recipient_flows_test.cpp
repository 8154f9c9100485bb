// The Add and Edit recipient flows against the table in the file: Cancel
// saves nothing and leaves the form alone, a duplicate PIN gets its own
// list entry, Edit always starts from the stored values, and an Edit that
// changes the PIN moves the list entry with it.
#include <gtest/gtest.h>

#include "dialogs/form_flows.h"
#include "dialogs/recipient_dlg.h"
#include "fake_form.h"
#include "test_db.h"

namespace zentrel::test {
namespace {

using Rows = std::vector<std::vector<std::string>>;

class RecipientFlows : public ::testing::Test {
 protected:
  void SetUp() override {
    db.Exec(
        "INSERT INTO VPdata VALUES (1, '200', 'Ann', 'Bell', '5551000');"
        "INSERT INTO VPdata VALUES (2, '1000', 'Carl', 'Dunn', '5552000');");
    form.Start();  // shows "1000" (sorted first as text)
  }
  Rows Table() const { return db.Rows("SELECT id, pin, fname, lname, pagephone FROM VPdata ORDER BY id"); }

  // Queues one run of the recipient dialog: records what it showed, types
  // the given texts (empty = leave), then clicks OK (1) or Cancel (2).
  void Queue(QStringList* seen, QStringList typed, int button) {
    form.steps.push_back([=](QDialog& d) {
      if (seen) {
        for (int id = 1000; id <= 1003; ++id) *seen << TextOf(d, id);
      }
      for (int i = 0; i < typed.size(); ++i) {
        if (!typed[i].isNull()) SetTextOf(d, 1000 + i, typed[i]);
      }
      Click(d, button);
    });
  }

  TestDb db;
  FakeForm form{db.Path()};
};

TEST_F(RecipientFlows, AddThenCancelChangesNothingAndEditStillShowsTheRecipient) {
  const Rows before = Table();
  QStringList addSeen, editSeen;
  Queue(&addSeen, {"Eve", "Ford", "300", "5553000"}, 2);
  OnAddRecipient(form);
  EXPECT_EQ(addSeen, QStringList({"", "", "", ""}));
  EXPECT_EQ(Table(), before);
  EXPECT_EQ(form.PinEntries(), QStringList({"1000", "200"}));
  EXPECT_EQ(form.SelectedPin(), "1000");
  EXPECT_EQ(form.fname, "Carl");

  Queue(&editSeen, {}, 2);
  OnEditRecipient(form);
  EXPECT_EQ(editSeen, QStringList({"Carl", "Dunn", "1000", "5552000"}));
  EXPECT_EQ(Table(), before);
  EXPECT_TRUE(form.TakeMessages().empty());
}

TEST_F(RecipientFlows, AddSavesSelectsAndShowsTheNewRecipient) {
  Queue(nullptr, {"Eve", "Ford", "150", "5553000"}, 1);
  OnAddRecipient(form);
  EXPECT_EQ(db.Rows("SELECT pin, fname, lname, pagephone FROM VPdata WHERE id > 2"),
            Rows({{"150", "Eve", "Ford", "5553000"}}));
  EXPECT_EQ(form.PinEntries(), QStringList({"1000", "150", "200"}));
  EXPECT_EQ(form.SelectedPin(), "150");
  EXPECT_EQ(form.fname + " " + form.lname + " " + form.phone, "Eve Ford 5553000");
  EXPECT_TRUE(form.TakeMessages().empty());
}

TEST_F(RecipientFlows, DuplicatePinGetsASecondEntryAndTheLookupFindsTheFirstRecord) {
  Queue(nullptr, {"Gus", "Hale", "200", "5554000"}, 1);
  OnAddRecipient(form);
  EXPECT_EQ(db.Column("SELECT fname FROM VPdata WHERE pin = '200' ORDER BY id"),
            std::vector<std::string>({"Ann", "Gus"}));
  EXPECT_EQ(form.PinEntries(), QStringList({"1000", "200", "200"}));
  EXPECT_EQ(form.pins->currentIndex(), 1);
  EXPECT_EQ(form.fname, "Ann");
}

TEST_F(RecipientFlows, EditThenCancelThenEditShowsTheStoredValues) {
  const Rows before = Table();
  Queue(nullptr, {"Typed", "Over", "999", "0"}, 2);
  OnEditRecipient(form);
  EXPECT_EQ(Table(), before);

  QStringList seen;
  Queue(&seen, {QString(), "Dunn-Eck", QString(), "5559999"}, 1);
  OnEditRecipient(form);
  EXPECT_EQ(seen, QStringList({"Carl", "Dunn", "1000", "5552000"}));
  EXPECT_EQ(db.Rows("SELECT pin, fname, lname, pagephone FROM VPdata WHERE id = 2"),
            Rows({{"1000", "Carl", "Dunn-Eck", "5559999"}}));
  EXPECT_EQ(form.lname + " " + form.phone, "Dunn-Eck 5559999");
  EXPECT_EQ(db.Rows("SELECT pin, fname FROM VPdata WHERE id = 1"), Rows({{"200", "Ann"}}));
  EXPECT_TRUE(form.TakeMessages().empty());
}

TEST_F(RecipientFlows, EditThatChangesThePinMovesTheListEntryAndShowsTheRecipient) {
  Queue(nullptr, {QString(), QString(), "300", QString()}, 1);
  OnEditRecipient(form);
  EXPECT_EQ(db.Rows("SELECT id, pin FROM VPdata ORDER BY id"), Rows({{"1", "200"}, {"2", "300"}}));
  EXPECT_EQ(form.PinEntries(), QStringList({"200", "300"}));
  EXPECT_EQ(form.SelectedPin(), "300");
  EXPECT_EQ(form.fname + " " + form.phone, "Carl 5552000");
  EXPECT_TRUE(form.TakeMessages().empty()) << "the look-up must find the changed PIN";

  // The recipient stays editable under its new PIN.
  Queue(nullptr, {"Carla", QString(), QString(), QString()}, 1);
  OnEditRecipient(form);
  EXPECT_EQ(db.Column("SELECT fname FROM VPdata WHERE pin = '300'"), std::vector<std::string>({"Carla"}));
}

}  // namespace
}  // namespace zentrel::test
