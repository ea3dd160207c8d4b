#include <string>
#include <vector>

#include "tests/platform/win/window_fixture.h"

namespace korvel::win::testing {
namespace {

class TreeControl : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    popup_window = popup(0, 0, 200, 300);
    ShowWindow(popup_window, SW_SHOW);
    tree = tree_in(popup_window);
    ASSERT_NE(tree, nullptr);
    handler() = [this](HWND window, UINT message, WPARAM wparam, LPARAM lparam) -> LRESULT {
      if (window == popup_window && message == WM_NOTIFY) {
        notifications.push_back(read_notification(tree, lparam));
        if (on_notify) return on_notify(lparam);
      }
      return DefWindowProcW(window, message, wparam, lparam);
    };
  }

  HTREEITEM insert(HTREEITEM parent, const char16_t* text, LPARAM data, int children = -2,
                   HTREEITEM after = TVI_LAST) {
    TVINSERTSTRUCTW insert_record{};
    insert_record.hParent = parent;
    insert_record.hInsertAfter = after;
    insert_record.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert_record.item.pszText = const_cast<LPWSTR>(text);
    insert_record.item.lParam = data;
    if (children != -2) {
      insert_record.item.mask |= TVIF_CHILDREN;
      insert_record.item.cChildren = children;
    }
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert_record)));
  }

  HTREEITEM next(WPARAM code, HTREEITEM item = nullptr) {
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(item)));
  }

  std::u16string label(HTREEITEM item) {
    char16_t buffer[64] = {};
    TVITEMW fields{};
    fields.mask = TVIF_TEXT;
    fields.hItem = item;
    fields.pszText = buffer;
    fields.cchTextMax = 64;
    if (!SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&fields))) return u"<none>";
    return buffer;
  }

  void set_label(HTREEITEM item, const char16_t* text) {
    TVITEMW fields{};
    fields.mask = TVIF_TEXT;
    fields.hItem = item;
    fields.pszText = const_cast<LPWSTR>(text);
    SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&fields));
  }

  std::vector<Notification> with_code(UINT code) const {
    std::vector<Notification> out;
    for (const Notification& one : notifications) {
      if (one.code == code) out.push_back(one);
    }
    return out;
  }

  HWND popup_window = nullptr;
  HWND tree = nullptr;
  std::vector<Notification> notifications;
  std::function<LRESULT(LPARAM)> on_notify;
};

TEST_F(TreeControl, ItemsKeepTheirOrderAndAnswerTheirFields) {
  const HTREEITEM first = insert(TVI_ROOT, u"第一", 11, 1, TVI_ROOT);
  const HTREEITEM second = insert(nullptr, u"second", 22, 1, TVI_ROOT);
  const HTREEITEM child = insert(first, u"child", 33);
  const HTREEITEM between = insert(TVI_ROOT, u"between", 44, 0, first);
  ASSERT_NE(first, nullptr);

  EXPECT_EQ(next(TVGN_ROOT), first);
  EXPECT_EQ(next(TVGN_CHILD, nullptr), first);
  EXPECT_EQ(next(TVGN_NEXT, first), between);
  EXPECT_EQ(next(TVGN_NEXT, between), second);
  EXPECT_EQ(next(TVGN_NEXT, second), nullptr);
  EXPECT_EQ(next(TVGN_CHILD, first), child);
  EXPECT_EQ(next(TVGN_CHILD, second), nullptr);
  EXPECT_EQ(next(TVGN_PARENT, child), first);
  EXPECT_EQ(next(TVGN_PARENT, first), nullptr);
  EXPECT_EQ(next(TVGN_CARET), nullptr);

  TVITEMW fields{};
  fields.mask = TVIF_PARAM | TVIF_CHILDREN;
  fields.hItem = first;
  ASSERT_TRUE(SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&fields)));
  EXPECT_EQ(fields.lParam, 11);
  EXPECT_EQ(fields.cChildren, 1);
  EXPECT_EQ(label(first), u"第一");

  char16_t small[4] = {};
  fields = TVITEMW{};
  fields.mask = TVIF_TEXT;
  fields.hItem = second;
  fields.pszText = small;
  fields.cchTextMax = 4;
  ASSERT_TRUE(SendMessageW(tree, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&fields)));
  EXPECT_EQ(std::u16string(small), u"sec");  // cut to fit, NUL-terminated

  // What the display was told: order, labels in UTF-8 and expand buttons.
  EXPECT_EQ(display->tree_children(tree, nullptr),
            (std::vector<HTREEITEM>{first, between, second}));
  EXPECT_EQ(display->tree_children(tree, first), (std::vector<HTREEITEM>{child}));
  EXPECT_EQ(display->tree_item(first)->text, "第一");
  EXPECT_TRUE(display->tree_item(first)->has_button);
  EXPECT_FALSE(display->tree_item(between)->has_button);  // cChildren 0
  EXPECT_FALSE(display->tree_item(child)->has_button);    // not given, no children

  // Unknown parents and items are refused.
  EXPECT_EQ(insert(reinterpret_cast<HTREEITEM>(0x99), u"x", 0), nullptr);
  fields.hItem = reinterpret_cast<HTREEITEM>(0x99);
  EXPECT_FALSE(SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&fields)));
  fields.hItem = nullptr;
  EXPECT_FALSE(SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&fields)));
}

TEST_F(TreeControl, FirstExpansionAsksTheParentWhichFillsTheChildren) {
  const HTREEITEM archive = insert(TVI_ROOT, u"archive", 1234, 1, TVI_ROOT);
  on_notify = [&](LPARAM lparam) -> LRESULT {
    const auto* change = reinterpret_cast<const NMTREEVIEWW*>(lparam);
    if (change->hdr.code == TVN_ITEMEXPANDINGW &&
        next(TVGN_CHILD, change->itemNew.hItem) == nullptr) {
      insert(change->itemNew.hItem, u"entry 0", 1, 2);
      insert(change->itemNew.hItem, u"entry 1", 2);
    }
    return 0;
  };
  display->tree(tree, archive, TreeActionKind::kExpand);
  pump();
  const auto expanding = with_code(TVN_ITEMEXPANDINGW);
  ASSERT_EQ(expanding.size(), 1u);
  EXPECT_EQ(expanding[0].control_id, 0x213u);
  EXPECT_EQ(expanding[0].from, tree);
  EXPECT_EQ(expanding[0].item, archive);
  EXPECT_EQ(expanding[0].item_data, 1234);
  EXPECT_EQ(expanding[0].action, TVE_EXPAND);
  EXPECT_TRUE(display->tree_item(archive)->expanded);
  const auto children = display->tree_children(tree, archive);
  ASSERT_EQ(children.size(), 2u);
  EXPECT_EQ(display->tree_item(children[0])->text, "entry 0");
  EXPECT_TRUE(display->tree_item(children[0])->has_button);

  // Collapse and expand again: asked each time, filled once.
  display->tree(tree, archive, TreeActionKind::kCollapse);
  display->tree(tree, archive, TreeActionKind::kExpand);
  display->tree(tree, archive, TreeActionKind::kExpand);  // already expanded: nothing
  pump();
  const auto again = with_code(TVN_ITEMEXPANDINGW);
  ASSERT_EQ(again.size(), 3u);
  EXPECT_EQ(again[1].action, TVE_COLLAPSE);
  EXPECT_EQ(display->tree_children(tree, archive).size(), 2u);
  EXPECT_TRUE(display->tree_item(archive)->expanded);
}

TEST_F(TreeControl, AnExpansionThatAddsNothingOrIsVetoedStaysCollapsed) {
  const HTREEITEM archive = insert(TVI_ROOT, u"archive", 1, 1, TVI_ROOT);
  const HTREEITEM leaf = insert(TVI_ROOT, u"leaf", 2, 0, TVI_ROOT);
  display->tree(tree, archive, TreeActionKind::kExpand);  // the dialog was cancelled
  pump();
  EXPECT_FALSE(display->tree_item(archive)->expanded);
  EXPECT_TRUE(display->tree_item(archive)->has_button);

  on_notify = [&](LPARAM) -> LRESULT {
    insert(archive, u"child", 3);
    return 1;  // veto
  };
  display->tree(tree, archive, TreeActionKind::kExpand);  // asks again
  display->tree(tree, leaf, TreeActionKind::kExpand);     // no button: not asked
  pump();
  EXPECT_EQ(with_code(TVN_ITEMEXPANDINGW).size(), 2u);
  EXPECT_FALSE(display->tree_item(archive)->expanded);
}

TEST_F(TreeControl, SelectionMovesTheCaretBeforeNotifying) {
  const HTREEITEM first = insert(TVI_ROOT, u"a", 101, 0, TVI_ROOT);
  const HTREEITEM second = insert(TVI_ROOT, u"b", 202, 0, TVI_ROOT);
  display->tree(tree, first, TreeActionKind::kSelect);
  display->tree(tree, second, TreeActionKind::kSelect);
  display->tree(tree, second, TreeActionKind::kSelect);  // unchanged: no notification
  pump();
  const auto changes = with_code(TVN_SELCHANGEDW);
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0].item, first);
  EXPECT_EQ(changes[0].item_data, 101);
  EXPECT_EQ(changes[0].old_item, nullptr);
  EXPECT_EQ(changes[0].caret_during, first);
  EXPECT_EQ(changes[1].item_data, 202);
  EXPECT_EQ(changes[1].old_item, first);
  EXPECT_EQ(next(TVGN_CARET), second);
  EXPECT_EQ(display->tree_caret(tree), second);
}

// The parent as the program writes it: F2 edits the caret item; an ended
// edit with text is applied with TVM_SETITEMW, and the answer is 0.
class LabelEdit : public TreeControl {
 protected:
  void SetUp() override {
    TreeControl::SetUp();
    item = insert(TVI_ROOT, u"旧名字", 7, 0, TVI_ROOT);
    on_notify = [this](LPARAM lparam) -> LRESULT {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (header->code == TVN_KEYDOWN &&
          reinterpret_cast<const NMTVKEYDOWN*>(lparam)->wVKey == VK_F2) {
        SendMessageW(tree, TVM_EDITLABELW, 0,
                     static_cast<LPARAM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0)));
      }
      if (header->code == TVN_BEGINLABELEDITW) return refuse_begin;
      if (header->code == TVN_ENDLABELEDITW) {
        auto* info = reinterpret_cast<NMTVDISPINFOW*>(lparam);
        if (apply_text && info->item.pszText != nullptr) {
          SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&info->item));
        }
        return end_answer;
      }
      return 0;
    };
    display->tree(tree, item, TreeActionKind::kSelect);
    pump();
  }

  HTREEITEM item = nullptr;
  LRESULT refuse_begin = 0;
  bool apply_text = true;
  LRESULT end_answer = 0;
};

TEST_F(LabelEdit, F2ThenTypingAndEnterSendsTheText) {
  display->key(tree, VK_F2);
  pump();
  ASSERT_EQ(with_code(TVN_KEYDOWN).size(), 1u);
  EXPECT_EQ(with_code(TVN_KEYDOWN)[0].key, VK_F2);
  ASSERT_EQ(with_code(TVN_BEGINLABELEDITW).size(), 1u);
  EXPECT_EQ(display->tree_edit(tree), std::make_pair(item, std::string("旧名字")));

  display->tree(tree, item, TreeActionKind::kEndEdit, "新名字");
  pump();
  const auto ended = with_code(TVN_ENDLABELEDITW);
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].item, item);
  EXPECT_EQ(ended[0].item_data, 7);
  EXPECT_EQ(ended[0].text, std::u16string(u"新名字"));
  EXPECT_EQ(label(item), u"新名字");
  EXPECT_EQ(display->tree_item(item)->text, "新名字");
  EXPECT_EQ(display->tree_edit(tree).first, nullptr);  // editor closed
}

TEST_F(LabelEdit, EscapeSendsANullText) {
  display->key(tree, VK_F2);
  display->tree(tree, item, TreeActionKind::kCancelEdit);
  pump();
  const auto ended = with_code(TVN_ENDLABELEDITW);
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_FALSE(ended[0].text.has_value());
  EXPECT_EQ(label(item), u"旧名字");
}

TEST_F(LabelEdit, TheParentsAnswerDecidesWhetherTheControlTakesTheText) {
  struct Case {
    bool apply_text;
    LRESULT answer;
    std::u16string label;
  };
  const Case cases[] = {{false, 0, u"旧名字"}, {false, 1, u"taken"}, {true, 0, u"taken"}};
  for (const Case& one : cases) {
    set_label(item, u"旧名字");
    apply_text = one.apply_text;
    end_answer = one.answer;
    display->key(tree, VK_F2);
    display->tree(tree, item, TreeActionKind::kEndEdit, "taken");
    pump();
    EXPECT_EQ(label(item), one.label) << one.apply_text << " " << one.answer;
  }
}

TEST_F(LabelEdit, ARefusedBeginOpensNoEditor) {
  refuse_begin = 1;
  display->key(tree, VK_F2);
  display->tree(tree, item, TreeActionKind::kEndEdit, "ignored");
  pump();
  EXPECT_EQ(with_code(TVN_BEGINLABELEDITW).size(), 1u);
  EXPECT_TRUE(with_code(TVN_ENDLABELEDITW).empty());
  EXPECT_EQ(display->tree_edit(tree).first, nullptr);
}

TEST_F(LabelEdit, MouseEditingNeedsTheEditLabelsStyle) {
  display->tree(tree, item, TreeActionKind::kBeginEdit);
  pump();
  EXPECT_EQ(display->tree_edit(tree).first, item);

  const HWND plain = tree_in(popup_window, 0x214, WS_CHILD | WS_VISIBLE);
  TVINSERTSTRUCTW insert_record{};
  insert_record.hInsertAfter = TVI_LAST;
  const auto plain_item = reinterpret_cast<HTREEITEM>(
      SendMessageW(plain, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert_record)));
  display->tree(plain, plain_item, TreeActionKind::kBeginEdit);
  pump();
  EXPECT_EQ(display->tree_edit(plain).first, nullptr);
}

TEST_F(LabelEdit, StaleTreeInputIsIgnored) {
  const HTREEITEM unknown = reinterpret_cast<HTREEITEM>(0x7777);
  display->tree(tree, unknown, TreeActionKind::kSelect);
  display->tree(tree, unknown, TreeActionKind::kExpand);
  display->tree(tree, item, TreeActionKind::kEndEdit, "no edit is open");
  display->tree(popup_window, item, TreeActionKind::kSelect);  // not a tree
  pump();
  EXPECT_EQ(notifications.size(), 1u);  // the selection made in SetUp

  // A second tree's items are not this tree's.
  const HWND other = tree_in(popup_window, 0x214);
  display->tree(other, item, TreeActionKind::kSelect);
  DestroyWindow(tree);  // its items go with it
  display->tree(tree, item, TreeActionKind::kSelect);
  display->tree(tree, item, TreeActionKind::kEndEdit, "x");
  pump();
  EXPECT_EQ(notifications.size(), 1u);
  EXPECT_FALSE(display->tree_item(item).has_value());
}

}  // namespace
}  // namespace korvel::win::testing
