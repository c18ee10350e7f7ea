#include "framework/objects/objects.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumetra {
namespace {

// Records what reached it; answers with a chosen status.
class Recorder : public TPloObject {
 public:
  Recorder(std::string label, std::vector<std::string>* log) : label_(std::move(label)), log_(log) {}
  ~Recorder() override {
    if (log_) log_->push_back("~" + label_);
  }

  Status HandleCommand(TPloEvent& event, uint32_t command) override {
    log_->push_back(label_ + ":" + std::to_string(command) + "/" + std::to_string(event.data));
    Status answer = answer_;
    if (delete_self_) delete this;  // the object's last act
    return answer;
  }

  Status answer_ = kOk;
  bool delete_self_ = false;

 private:
  std::string label_;
  std::vector<std::string>* log_;
};

size_t ListLength() {
  size_t n = 0;
  for (TPloObject* o = FirstObject(); o; o = NextObject(o)) ++n;
  return n;
}

TEST(ReferenceCountTest, ReleaseDestroysOnlyTheLastReference) {
  std::vector<std::string> log;
  auto* object = new Recorder("a", &log);
  EXPECT_EQ(object->ReferenceCount(), 1);
  object->Retain();
  EXPECT_EQ(object->GetExtraReferences(), 1);
  object->Release();
  EXPECT_TRUE(log.empty()) << "a count of 2 only drops to 1";
  EXPECT_EQ(object->ReferenceCount(), 1);
  object->Release();
  EXPECT_EQ(log, std::vector<std::string>{"~a"});
  EXPECT_EQ(ListLength(), 0u) << "destruction unlinks";
}

TEST(ObjectListTest, KeepsConstructionOrderAndUnlinksHeadAndMiddle) {
  {
    Recorder a("a", nullptr), b("b", nullptr), c("c", nullptr);
    EXPECT_EQ(FirstObject(), &a);
    EXPECT_EQ(NextObject(&a), &b);
    EXPECT_EQ(NextObject(&c), nullptr);
    EXPECT_EQ(FindTarget(nullptr), &a) << "every element takes the null target";
    EXPECT_EQ(FindTarget(&c), &c);
    {
      Recorder d("d", nullptr);
      EXPECT_EQ(NextObject(&c), &d);
    }
    EXPECT_EQ(NextObject(&c), nullptr);
  }
  EXPECT_EQ(FirstObject(), nullptr);

  auto* head = new Recorder("h", nullptr);
  Recorder middle("m", nullptr), tail("t", nullptr);
  head->Release();
  EXPECT_EQ(FirstObject(), &middle) << "the successor of a destroyed head becomes the head";
  EXPECT_EQ(FindTarget(head), nullptr);
}

TEST(BroadcastEventTest, EmptyListGives2001) {
  TPloEvent event;
  EXPECT_EQ(BroadcastEvent(event), kMissingObject);
}

TEST(BroadcastEventTest, HookDeletingItsOwnObjectStopsTheWalk) {
  std::vector<std::string> log;
  auto* first = new Recorder("a", &log);
  Recorder second("b", &log);
  first->delete_self_ = true;
  EXPECT_EQ(BroadcastCommand(nullptr, 7, 1), kOk);
  EXPECT_EQ(log, (std::vector<std::string>{"a:7/1", "~a"})) << "b must not be reached";
  EXPECT_EQ(FirstObject(), &second);
}

TEST(BroadcastEventTest, PassedOnGoesToTheNextObjectAndSweeps) {
  std::vector<std::string> log;
  Recorder a("a", &log);
  auto* b = new Recorder("b", &log);
  a.answer_ = kPassedOn;
  b->RequestRelease();
  EXPECT_EQ(BroadcastCommand(nullptr, 9, 0), kOk) << "21305 is never passed on as a result";
  EXPECT_EQ(log, (std::vector<std::string>{"a:9/0", "b:9/0", "~b"}));
  EXPECT_EQ(ListLength(), 1u);
}

TEST(BroadcastEventTest, FailingHookStopsTheWalkAndSkipsTheSweep) {
  std::vector<std::string> log;
  Recorder a("a", &log);
  a.answer_ = kBadArgument;
  auto* b = new Recorder("b", &log);
  b->RequestRelease();
  EXPECT_EQ(BroadcastCommand(nullptr, 9, 0), kBadArgument);
  EXPECT_EQ(log, std::vector<std::string>{"a:9/0"});
  EXPECT_EQ(ListLength(), 2u) << "no sweep after a failure";
  b->Release();
}

TEST(BroadcastEventTest, SweepReleasesFromTheEndAndNeverTheHead) {
  std::vector<std::string> log;
  auto* head = new Recorder("h", &log);
  auto* b = new Recorder("b", &log);
  Recorder kept("k", &log);
  auto* d = new Recorder("d", &log);
  head->RequestRelease();
  b->RequestRelease();
  d->RequestRelease();
  EXPECT_EQ(BroadcastCommand(&kept, 1, 0), kOk);
  EXPECT_EQ(log, (std::vector<std::string>{"k:1/0", "~d", "~b"}));
  EXPECT_EQ(FirstObject(), head);
  EXPECT_EQ(NextObject(head), &kept);
  head->Release();
}

TEST(BroadcastEventTest, ReleaseKeepsAnObjectWithAnotherReferenceOutOfTheList) {
  std::vector<std::string> log;
  Recorder head("h", &log);
  auto* shared = new Recorder("s", &log);
  shared->Retain();
  shared->RequestRelease();
  EXPECT_EQ(BroadcastCommand(&head, 1, 0), kOk);
  EXPECT_EQ(FindTarget(shared), nullptr) << "unlinked by the sweep";
  EXPECT_EQ(shared->ReferenceCount(), 1);
  shared->Release();
  EXPECT_EQ(log.back(), "~s");
}

TEST(CommandTest, SendCommandDoCommandAndEnabling) {
  std::vector<std::string> log;
  Recorder a("a", &log);
  EXPECT_EQ(SendCommand(nullptr, 5, 0), kOk);
  a.answer_ = kRefused;
  EXPECT_EQ(SendCommand(&a, kCommandCloseDialog, kCloseDialogForced), kRefused);
  EXPECT_EQ(a.DoCommand(312, 4), kRefused);
  EXPECT_EQ(log, (std::vector<std::string>{"a:404/210", "a:312/4"}));
  EXPECT_FALSE(a.IsCommandEnabled(312)) << "base elements enable nothing";
  EXPECT_EQ(a.Reserved(), kNotAvailable);
}

TEST(RefreshUserInterfaceTest, SendsCommand400OnlyWhenAskedOrForced) {
  std::vector<std::string> log;
  Recorder a("a", &log);
  EXPECT_EQ(RefreshUserInterface(false), kOk);
  EXPECT_TRUE(log.empty()) << "flag clear: nothing is sent";
  RequestUserInterfaceRefresh();
  EXPECT_EQ(RefreshUserInterface(false), kOk);
  EXPECT_EQ(RefreshUserInterface(false), kOk);
  EXPECT_EQ(RefreshUserInterface(true), kOk);
  EXPECT_EQ(log, (std::vector<std::string>{"a:400/0", "a:400/0"})) << "the flag is cleared by use";
}

// Names the hook an event reached.
class HookNamer : public TPloElement {
 public:
  std::string hook;
  Status Note(const char* name) {
    hook = name;
    return kOk;
  }
  Status OnIdle(TPloEvent&) override { return Note("OnIdle"); }
  Status OnMouseDown(TPloEvent&) override { return Note("OnMouseDown"); }
  Status OnMouseUp(TPloEvent&) override { return Note("OnMouseUp"); }
  Status OnKeyDown(TPloEvent&) override { return Note("OnKeyDown"); }
  Status OnKeyUp(TPloEvent&) override { return Note("OnKeyUp"); }
  Status OnUpdate(TPloEvent&) override { return Note("OnUpdate"); }
  Status OnActivate(TPloEvent&) override { return Note("OnActivate"); }
  Status OnDeactivate(TPloEvent&) override { return Note("OnDeactivate"); }
  Status OnEventA(TPloEvent&) override { return Note("OnEventA"); }
  Status OnResume(TPloEvent&) override { return Note("OnResume"); }
  Status OnSuspend(TPloEvent&) override { return Note("OnSuspend"); }
  Status HandleCommand(TPloEvent&, uint32_t command) override {
    hook = "HandleCommand" + std::to_string(command);
    return kOk;
  }
  Status OnMenuCommand(TPloEvent&) override { return Note("OnMenuCommand"); }
  Status OnControlEvent(TPloEvent&) override { return Note("OnControlEvent"); }
  Status OnEventB(TPloEvent&) override { return Note("OnEventB"); }
  Status OnEventC(TPloEvent&) override { return Note("OnEventC"); }
  Status OnFilesDropped(TPloEvent&) override { return Note("OnFilesDropped"); }
  Status OnMouseMoved(TPloEvent&) override { return Note("OnMouseMoved"); }
};

TEST(HandleEventTest, EveryEventTypeReachesItsHookAndOtherTypesNone) {
  const std::pair<uint32_t, const char*> table[] = {
      {kEventIdle, "OnIdle"},
      {kEventMouseDown, "OnMouseDown"},
      {kEventMouseUp, "OnMouseUp"},
      {kEventKeyDown, "OnKeyDown"},
      {kEventKeyUp, "OnKeyUp"},
      {kEventKeyRepeat, "OnKeyDown"},
      {kEventUpdate, "OnUpdate"},
      {kEventActivate, "OnActivate"},
      {kEventDeactivate, "OnDeactivate"},
      {kEventFurtherA, "OnEventA"},
      {kEventResume, "OnResume"},
      {kEventSuspend, "OnSuspend"},
      {kEventCommand, "HandleCommand77"},
      {kEventMenuCommand, "OnMenuCommand"},
      {kEventControl, "OnControlEvent"},
      {kEventFurtherB, "OnEventB"},
      {kEventFurtherC, "OnEventC"},
      {kEventFilesDropped, "OnFilesDropped"},
      {kEventMouseMoved, "OnMouseMoved"},
      // Types without a hook, the file list among them (only dialogs take it).
      {7, ""}, {10, ""}, {22, ""}, {33, ""}, {kEventFileList, ""}, {35, ""}, {0xFFFFFFFFu, ""},
  };
  HookNamer element;
  for (const auto& [type, hook] : table) {
    TPloEvent event;
    event.type = type;
    event.command = 77;
    element.hook.clear();
    EXPECT_EQ(element.HandleEvent(event), kOk) << "event type " << type;
    EXPECT_EQ(element.hook, hook) << "event type " << type;
  }
}

TEST(HandleEventTest, BaseHooksAnswerZeroButControlEvents) {
  TPloElement plain;
  for (uint32_t type : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 8u, 9u, 23u, 24u, 25u, 26u, 27u, 29u, 30u, 31u,
                        32u, 34u}) {
    TPloEvent event;
    event.type = type;
    EXPECT_EQ(plain.HandleEvent(event), kOk) << "event type " << type;
  }
  TPloEvent event;
  event.type = kEventControl;
  EXPECT_EQ(plain.HandleEvent(event), kEventNotHandled) << "control events need an override";
}

TEST(ElementTest, SetNameKeepsItsOwnCopy) {
  TPloElement element;
  EXPECT_EQ(element.Name(), nullptr);
  char text[] = "control item 3";
  element.SetName(text);
  text[0] = 'X';
  EXPECT_STREQ(element.Name(), "control item 3");
  element.SetName(nullptr);
  EXPECT_EQ(element.Name(), nullptr);
}

TEST(ForEachObjectTest, StopsAtTheFirstNonZeroResult) {
  Recorder a("a", nullptr), b("b", nullptr), c("c", nullptr);
  std::vector<TPloObject*> seen;
  auto callback = [](void* context, TPloObject* object, TPloEvent*) -> Status {
    auto* list = static_cast<std::vector<TPloObject*>*>(context);
    list->push_back(object);
    return list->size() == 2 ? kRefused : kOk;
  };
  EXPECT_EQ(ForEachObject(callback, &seen, nullptr), kRefused);
  EXPECT_EQ(seen, (std::vector<TPloObject*>{&a, &b}));
}

}  // namespace
}  // namespace lumetra
