// One visibility checkbox per sub-model, built when the viewer has loaded a
// model, in the container of the page that holds the model's element.
#include <string>

#include "formats/shared_ui_state.h"
#include "platform/win/text_conversion.h"
#include "ui/dom_element.h"
#include "ui/host_window.h"

namespace korvel {

void build_model_checkboxes(unsigned submodel_count) {
  const htmlayout::dom::element model(g_modelElement.load());
  if (!model.is_valid()) return;
  const htmlayout::dom::element top(model.root());
  const htmlayout::dom::element container(top.get_element_by_id("div_model_show_checkbox"));
  if (!container.is_valid()) return;

  // Each box is the UTF-16 template with the index, at least two digits, in
  // both places, then UTF-8 for the engine.
  std::string html;
  for (unsigned index = 0; index < submodel_count; ++index) {
    std::string number = std::to_string(index);
    if (number.size() < 2) number.insert(0, 2 - number.size(), '0');
    const std::u16string digits(number.begin(), number.end());
    const std::u16string box =
        u"<button type=\"checkbox\" checked=\"true\" id=\"model_show_flag\" number=\"" + digits +
        u"\">模型" + digits + u"</button>";
    html += win::utf16_to_utf8(box);
  }
  engine::HTMLayoutSetElementInnerText16(container, u"", 0);
  container.set_html(reinterpret_cast<const engine::BYTE*>(html.data()), html.size());
  container.update(true);
}

}  // namespace korvel
