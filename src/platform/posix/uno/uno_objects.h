// The presentation object model (platform/automation.h) on LibreOffice Impress:
//   _Application      the office (its desktop)
//   _Presentation     the current Impress document (else the one whose show runs, else the only
//                     one open); Slides: the slides of its show
//   SlideShowSettings starts the show; SlideShowWindow, SlideShowView: the running show (its
//                     controller), its window (an X11 window id) and pointer, pen and blanking
//   DocumentWindow, Selection, SlideRange: the slide selected in the document's editing view
// Every member calls the office through OfficeLink::Call, so failures leave as AutomationError.
// Worker thread only.
#pragma once

#include <memory>

#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/presentation/XPresentation2.hpp>
#include <com/sun/star/presentation/XSlideShowController.hpp>

#include "platform/automation.h"
#include "platform/posix/uno/office_link.h"

std::shared_ptr<_Application> NewOfficeApplication(std::shared_ptr<OfficeLink> link);

// The view Impress opens a full-screen show in, beside the document's editing view.
inline constexpr char kShowViewName[] = "FullScreenPresentation";

using ModelRef = css::uno::Reference<css::frame::XModel>;
using PresentationRef = css::uno::Reference<css::presentation::XPresentation2>;
using ControllerRef = css::uno::Reference<css::presentation::XSlideShowController>;

// The controller of the show that runs now, or empty. A controller kept from an ended show
// takes the office down when called (only asking it whether it runs is safe), so nothing here
// calls a controller that this did not just return.
ControllerRef LiveController(const PresentationRef& presentation);

// The running show (called with a controller LiveController returned).
std::shared_ptr<SlideShowWindow> NewShowWindow(std::shared_ptr<OfficeLink> link,
                                               const ModelRef& model,
                                               const PresentationRef& presentation,
                                               const ControllerRef& controller);
