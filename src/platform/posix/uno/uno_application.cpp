// The office, its presentation documents and the editing view's selected slide.
#include <chrono>
#include <thread>

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/drawing/XDrawPage.hpp>
#include <com/sun/star/drawing/XDrawPages.hpp>
#include <com/sun/star/drawing/XDrawPagesSupplier.hpp>
#include <com/sun/star/drawing/XDrawView.hpp>
#include <com/sun/star/frame/XController2.hpp>
#include <com/sun/star/frame/XModel2.hpp>
#include <com/sun/star/presentation/XPresentationSupplier.hpp>

#include "platform/posix/office_module.h"
#include "platform/posix/uno/uno_objects.h"

using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace {

PresentationRef PresentationOf(const Reference<css::uno::XInterface>& component) {
    Reference<css::presentation::XPresentationSupplier> supplier(component, UNO_QUERY);
    if (!supplier.is()) return {};
    return PresentationRef(supplier->getPresentation(), UNO_QUERY);
}

bool IsShowView(const Reference<css::frame::XController>& controller) {
    Reference<css::frame::XController2> named(controller, UNO_QUERY);
    return named.is() && named->getViewControllerName() == kShowViewName;
}

// The document's editing view (not the view a running show lives in).
Reference<css::drawing::XDrawView> EditingView(const ModelRef& model) {
    Reference<css::frame::XController> current = model->getCurrentController();
    if (current.is() && !IsShowView(current)) return {current, UNO_QUERY};
    Reference<css::frame::XModel2> views(model, UNO_QUERY);
    if (!views.is()) return {};
    Reference<css::container::XEnumeration> all = views->getControllers();
    while (all->hasMoreElements()) {
        Reference<css::frame::XController> view(all->nextElement(), UNO_QUERY);
        if (view.is() && !IsShowView(view)) return {view, UNO_QUERY};
    }
    return {};
}

// The presentation the phone means: the office's current document when it is one; otherwise
// the presentation whose show runs, or the only presentation open.
ModelRef ActiveModel(OfficeLink& link) {
    Reference<css::frame::XDesktop2> desktop = link.Desktop();
    ModelRef current(desktop->getCurrentComponent(), UNO_QUERY);
    if (current.is() && PresentationOf(current).is()) return current;
    Reference<css::container::XEnumeration> components =
        desktop->getComponents()->createEnumeration();
    ModelRef only;
    int presentations = 0;
    while (components->hasMoreElements()) {
        ModelRef model(components->nextElement(), UNO_QUERY);
        PresentationRef presentation = PresentationOf(model);
        if (!presentation.is()) continue;
        if (presentation->isRunning()) return model;
        only = model;
        ++presentations;
    }
    return presentations == 1 ? only : ModelRef();
}

Reference<css::drawing::XDrawPages> PagesOf(const ModelRef& model) {
    Reference<css::drawing::XDrawPagesSupplier> supplier(model, UNO_QUERY_THROW);
    return supplier->getDrawPages();
}

class OfficeSlides : public Slides {
public:
    OfficeSlides(std::shared_ptr<OfficeLink> link, ModelRef model, PresentationRef presentation)
        : link_(std::move(link)),
          model_(std::move(model)),
          presentation_(std::move(presentation)) {}
    // The slides of the running show (hidden slides are not part of it, and positions count
    // them out too); without a show, the document's slides.
    std::int32_t get_Count() override {
        return link_->Call([&] {
            ControllerRef show = LiveController(presentation_);
            if (show.is()) return show->getSlideCount();
            return PagesOf(model_)->getCount();
        });
    }

private:
    std::shared_ptr<OfficeLink> link_;
    ModelRef model_;
    PresentationRef presentation_;
};

class OfficeShowSettings : public SlideShowSettings {
public:
    OfficeShowSettings(std::shared_ptr<OfficeLink> link, ModelRef model,
                       PresentationRef presentation)
        : link_(std::move(link)),
          model_(std::move(model)),
          presentation_(std::move(presentation)) {}
    std::shared_ptr<SlideShowWindow> Run() override {
        ControllerRef show = link_->Call([&] {
            presentation_->start();
            // The show comes up asynchronously; its controller appears within a moment.
            auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(4);
            for (;;) {
                ControllerRef controller = LiveController(presentation_);
                if (controller.is()) return controller;
                if (std::chrono::steady_clock::now() >= deadline) return ControllerRef();
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
        if (!show.is()) {
            throw AutomationError{kOfficeCallFailed, true, "The slide show did not start",
                                  "LibreOffice"};
        }
        return NewShowWindow(link_, model_, presentation_, show);
    }

private:
    std::shared_ptr<OfficeLink> link_;
    ModelRef model_;
    PresentationRef presentation_;
};

class OfficePresentation : public _Presentation {
public:
    OfficePresentation(std::shared_ptr<OfficeLink> link, ModelRef model,
                       PresentationRef presentation)
        : link_(std::move(link)),
          model_(std::move(model)),
          presentation_(std::move(presentation)) {}
    std::shared_ptr<Slides> get_Slides() override {
        return std::make_shared<OfficeSlides>(link_, model_, presentation_);
    }
    std::shared_ptr<SlideShowSettings> get_SlideShowSettings() override {
        return std::make_shared<OfficeShowSettings>(link_, model_, presentation_);
    }
    // Empty while no show runs.
    std::shared_ptr<SlideShowWindow> get_SlideShowWindow() override {
        ControllerRef show = link_->Call([&] { return LiveController(presentation_); });
        if (!show.is()) return nullptr;
        return NewShowWindow(link_, model_, presentation_, show);
    }

private:
    std::shared_ptr<OfficeLink> link_;
    ModelRef model_;
    PresentationRef presentation_;
};

class OfficeSlideRange : public SlideRange {
public:
    OfficeSlideRange(std::shared_ptr<OfficeLink> link, ModelRef model)
        : link_(std::move(link)), model_(std::move(model)) {}
    // The selected slide as a position in the show: hidden slides before it do not count, and
    // a hidden slide itself stands for the next one shown.
    std::int32_t get_SlideIndex() override {
        return link_->Call([&] {
            Reference<css::drawing::XDrawView> view = EditingView(model_);
            Reference<css::beans::XPropertySet> viewProperties(view, UNO_QUERY);
            if (!view.is() || !viewProperties.is()) {
                throw AutomationError{kOfficeCallFailed, true, "No editing view", "LibreOffice"};
            }
            bool masters = false;
            viewProperties->getPropertyValue("IsMasterPageMode") >>= masters;
            Reference<css::beans::XPropertySet> selected(view->getCurrentPage(), UNO_QUERY);
            sal_Int16 number = 0;
            if (masters || !selected.is() || !(selected->getPropertyValue("Number") >>= number)) {
                throw AutomationError{kOfficeCallFailed, true, "No slide selected", "LibreOffice"};
            }
            Reference<css::drawing::XDrawPages> pages = PagesOf(model_);
            std::int32_t position = 1;
            for (sal_Int32 i = 0; i + 1 < number && i < pages->getCount(); ++i) {
                Reference<css::beans::XPropertySet> page(pages->getByIndex(i), UNO_QUERY);
                bool shown = true;
                if (page.is()) page->getPropertyValue("Visible") >>= shown;
                if (shown) ++position;
            }
            return position;
        });
    }

private:
    std::shared_ptr<OfficeLink> link_;
    ModelRef model_;
};

class OfficeSelection : public Selection {
public:
    OfficeSelection(std::shared_ptr<OfficeLink> link, ModelRef model)
        : link_(std::move(link)), model_(std::move(model)) {}
    std::shared_ptr<SlideRange> get_SlideRange() override {
        return std::make_shared<OfficeSlideRange>(link_, model_);
    }

private:
    std::shared_ptr<OfficeLink> link_;
    ModelRef model_;
};

class OfficeDocumentWindow : public DocumentWindow {
public:
    OfficeDocumentWindow(std::shared_ptr<OfficeLink> link, ModelRef model)
        : link_(std::move(link)), model_(std::move(model)) {}
    std::shared_ptr<Selection> get_Selection() override {
        return std::make_shared<OfficeSelection>(link_, model_);
    }

private:
    std::shared_ptr<OfficeLink> link_;
    ModelRef model_;
};

class OfficeApplication : public _Application {
public:
    explicit OfficeApplication(std::shared_ptr<OfficeLink> link) : link_(std::move(link)) {}
    std::shared_ptr<_Presentation> get_ActivePresentation() override {
        return link_->Call([&]() -> std::shared_ptr<_Presentation> {
            ModelRef model = ActiveModel(*link_);
            if (!model.is()) return nullptr;
            return std::make_shared<OfficePresentation>(link_, model, PresentationOf(model));
        });
    }
    std::shared_ptr<DocumentWindow> get_ActiveWindow() override {
        return link_->Call([&]() -> std::shared_ptr<DocumentWindow> {
            ModelRef model = ActiveModel(*link_);
            if (!model.is()) return nullptr;
            return std::make_shared<OfficeDocumentWindow>(link_, model);
        });
    }
    // The presenter's office is on screen already; there is nothing to show.
    void put_Visible(std::int32_t) override {}

private:
    std::shared_ptr<OfficeLink> link_;
};

}  // namespace

ControllerRef LiveController(const PresentationRef& presentation) {
    if (!presentation.is() || !presentation->isRunning()) return {};
    ControllerRef controller = presentation->getController();
    if (!controller.is() || !controller->isRunning()) return {};
    return controller;
}

std::shared_ptr<_Application> NewOfficeApplication(std::shared_ptr<OfficeLink> link) {
    return std::make_shared<OfficeApplication>(std::move(link));
}
