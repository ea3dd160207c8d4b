// The program started in-process on copies of the forged samples (the tests
// write archives), with the user's answers: file dialogs take the names a
// test queues (cancel when none is left), message boxes are acknowledged and
// their texts kept.
#pragma once

#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "formats/texture_display.h"
#include "platform/engine/view.h"
#include "tests/support/program_fixture.h"
#include "ui/dom_element.h"
#include "ui/element_commands.h"

namespace korvel::test {

class Browsing : public ProgramFixture {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    ProgramFixture::SetUp();
    fs::remove(resources() + "/samples");
    fs::copy(fs::path(KORVEL_BUILD_DIR) / "korvel_res/samples", samples());
    display->set_answerer(
        [this](const win::ModalRequest& request) -> std::optional<win::ModalAnswer> {
          asked.push_back(request);
          if (request.kind == win::ModalKind::kMessageBox) {
            told.push_back(request.text);
            return win::ModalAnswer{true, {}};
          }
          if (answers.empty()) return win::ModalAnswer{};
          const win::ModalAnswer next{true, answers.front()};
          answers.pop_front();
          return next;
        });
  }

  std::string samples() const { return resources() + "/samples"; }

  // The child of parent (root level when null) whose label starts with prefix.
  win::HTREEITEM item(win::HTREEITEM parent, const std::string& prefix) {
    for (win::HTREEITEM child : display->tree_children(g_hwndTree, parent)) {
      if (display->tree_item(child)->text.rfind(prefix, 0) == 0) return child;
    }
    return nullptr;
  }
  void tree(win::HTREEITEM target, win::TreeActionKind kind, const std::string& text = {}) {
    display->tree(g_hwndTree, target, kind, text);
    pump();
  }
  // Expands each item of the path from the root level down; the last item.
  win::HTREEITEM open_path(const std::vector<std::string>& labels) {
    win::HTREEITEM at = nullptr;
    for (const std::string& label : labels) {
      if (at != nullptr) tree(at, win::TreeActionKind::kExpand);
      at = item(at, label);
      EXPECT_NE(at, nullptr) << label;
    }
    return at;
  }
  void click(const char* id) { ElementCommand(by_id(id)); }

  // The engine's last answer for uri, forgotten once taken.
  std::optional<std::vector<engine::BYTE>> take_delivered(const std::u16string& uri) {
    engine::View* view = engine::find_view(g_hwndHost);
    const auto found = view->resources.find(uri);
    if (found == view->resources.end()) return std::nullopt;
    std::vector<engine::BYTE> bytes = *found->second;
    view->resources.erase(found);
    return bytes;
  }

  static std::vector<std::uint8_t> texture_of(const std::string& index, const char* key) {
    Archive archive;
    archive.open(index.c_str());
    if (archive.load_entry(key) != 1) return {};
    return {archive.image.begin(), archive.image.begin() + archive.image_size};
  }

  std::deque<std::string> answers;
  std::vector<win::ModalRequest> asked;
  std::vector<std::string> told;
};

}  // namespace korvel::test
