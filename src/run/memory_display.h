// A whole set of in-memory controls wired into a RunDisplay: what the command line program
// runs on and what the run tests look at.
#pragma once

#include "run/gp.h"
#include "toolkit/memory_toolkit.h"

namespace vobrix {

struct MemoryRunDisplay {
  toolkit::MemoryGrid StringGrid1{2, 100};
  toolkit::MemoryGrid StringGrid3{2, 100};
  toolkit::MemoryGrid StringGrid4{2, 1};
  toolkit::MemoryGrid StringGrid5{2, 1};
  // Series counts as in the windows: the main window's charts carry empty legend keys.
  toolkit::MemoryChart Chart2{10};
  toolkit::MemoryChart Form5Chart2{8};
  toolkit::MemoryChart Chart3{10};
  toolkit::MemoryChart Form6Chart3{8};
  toolkit::MemoryChart Chart4{11};
  toolkit::MemoryChart Form4Chart1{9};
  toolkit::MemoryLabel Label31;
  toolkit::MemoryLabel Label48;
  toolkit::MemoryLabel Label82;
  toolkit::MemoryLabel Label83;
  toolkit::MemoryMemo Memo1;
  toolkit::MemoryProgressBar ProgressBar1;
  toolkit::MemoryButton BitBtn1{"Stop", toolkit::ButtonKind::No, false};
  toolkit::MemoryButton BitBtn2{"Start", toolkit::ButtonKind::Ok, true};
  toolkit::MemoryApplication application;

  MemoryRunDisplay() = default;
  MemoryRunDisplay(const MemoryRunDisplay&) = delete;
  MemoryRunDisplay& operator=(const MemoryRunDisplay&) = delete;

  // Nobody sees these controls: the charts count their points and keep none (which for a long
  // series saves two copies of every row in each prediction chart), and the run formats no
  // prediction texts but the ones it reads back.
  void ShowNobody() {
    for (toolkit::MemoryChart* chart :
         {&Chart2, &Form5Chart2, &Chart3, &Form6Chart3, &Chart4, &Form4Chart1}) {
      chart->KeepNoPoints();
    }
    shown_ = false;
  }

  RunDisplay View() {
    RunDisplay d;
    d.StringGrid1 = &StringGrid1;
    d.StringGrid3 = &StringGrid3;
    d.StringGrid4 = &StringGrid4;
    d.StringGrid5 = &StringGrid5;
    d.Chart2 = &Chart2;
    d.Form5Chart2 = &Form5Chart2;
    d.Chart3 = &Chart3;
    d.Form6Chart3 = &Form6Chart3;
    d.Chart4 = &Chart4;
    d.Form4Chart1 = &Form4Chart1;
    d.statusLabels = {&Label31, &Label48, &Label82, &Label83};
    d.Memo1 = &Memo1;
    d.ProgressBar1 = &ProgressBar1;
    d.BitBtn1 = &BitBtn1;
    d.BitBtn2 = &BitBtn2;
    d.application = &application;
    d.predictionsShown = shown_;
    return d;
  }

 private:
  bool shown_ = true;
};

}  // namespace vobrix
