// A register map editor on the editor database, driven as a person drives the window.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "common/key_filter.h"
#include "editor_fixture.h"
#include "editors/register_map_form.h"

namespace r770::test {

// An editor on a document with controllers 05 (Котел) and 1A (Насос).
struct MapEditor : EditorFixture {
  RegisterMapForm form;

  explicit MapEditor(MapKind kind, bool withControllers = true) : form(kind, dialogs, cfg, settings) {
    if (withControllers) {
      data.AddController(cfg, data.kotel, 0x05);
      data.AddController(cfg, data.nasos, 0x1A);
    }
  }
  void Open() {
    form.Open();
    dialogs.shown.clear();
  }
  void Type(const std::string& digits) {
    for (char c : digits) EXPECT_TRUE(form.Key(static_cast<char32_t>(c))) << c;
  }
  void Backspaces(int n) {
    for (int i = 0; i < n; ++i) form.Key(kBackspace);
  }
  // Types an address into a row's address cell and leaves it for the next row.
  bool EnterAddress(int row, const std::string& digits) {
    EXPECT_TRUE(form.SetCurrentCell(row, RegisterMapForm::kColAddress));
    Type(digits);
    return form.FinishEdit();
  }
  void Select(const std::string& label) {
    const int node = NodeByLabel(form.Tree(), label);
    ASSERT_GE(node, 0) << label;
    form.SelectNode(node);
  }
  // A leaf of the kind's tree.
  std::string Leaf() const { return form.Traits().Tree == TreeKind::Bit ? "Авар (№ 0101)" : "Давл (№ 0201)"; }
};

}  // namespace r770::test
