#pragma once
// The run-time form of a compiled program, made from its stored steps at the first run. Every name
// becomes a slot whose place in the store's index is remembered, the program keeps its
// temporaries from run to run (reset, not reallocated), and each step runs through one switch with
// direct paths for plain numbers and strings. It answers exactly as the step-by-step evaluator over
// the stored form (TRukoParser::ExecutePlain), which stays the reference.
#include "params/paramcollection.h"
#include "params/rukoparser.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ruko {

class TRunForm
{
  public:
    explicit TRunForm(std::vector<TOpeData>& steps);
    TRunForm(const TRunForm&) = delete;
    TRunForm& operator=(const TRunForm&) = delete;

    // Made from these steps: the list was neither replaced nor resized since.
    bool Matches(const std::vector<TOpeData>& steps) const
    {
        return steps.data() == source_ && steps.size() == steps_.size();
    }
    // A run is in progress (a function of the program is running the same program again).
    bool Running() const { return running_; }

    // TRukoParser::Execute for `program`, whose steps this form was made from.
    bool Run(TParamCollection& store, TRukoParser& program);

    // An operand as read: a constant's own scalar, or element Index of a variable's value.
    struct TView
    {
        TCustomParam* Value;
        int32_t Index;
        bool Element;
    };

  private:
    struct TSlot
    {
        std::string Name; // as first written; lookups fold it
        bool Temp = false;
        TNameRef Place;
        // The store's answer for the name, valid while the store's generation and scope are these.
        TParamCollectionItem* Found = nullptr;
        uint64_t Generation = 0;
        int32_t Scope = 0;
        // The temporary of this name, kept between runs; in use while Run == the form's run.
        // ItemName is the step target it was named after.
        TParamItemPtr Item;
        const std::string* ItemName = nullptr;
        uint64_t Run = 0;
        // The element reference this run bound Item to, and the array item it refers to while
        // the store's generation stays BoundGeneration.
        TParamCollectionItem* BoundItem = nullptr;
        uint64_t BoundGeneration = 0;
    };
    struct TOperand
    {
        TCustomParam* Constant; // null for a name
        TParamVar* Ref;         // the stored reference (names in messages; bound for functions)
        uint32_t Slot;
    };
    struct TStep
    {
        uint8_t Op;
        uint8_t Row;
        uint32_t Target;
        uint32_t First; // into operands_
        uint32_t Count;
        TOpeData* Source;
    };
    void RunStep(TParamCollection& store, const TStep& step);
    // One instance per operator code, so the operation is fixed where the operands are read.
    template <uint8_t Op> void RunArithmetic(TParamCollection& store, const TStep& step);
    void RunGeneral(TParamCollection& store, const TStep& step);
    TParamCollectionItem* Find(TParamCollection& store, TSlot& slot);
    TView Resolve(TParamCollection& store, const TOperand& operand, TParamCollectionItem** found);
    TParamCollectionItem& Target(TParamCollection& store, const TStep& step, const TView* views);
    TParamCollectionItem& MakeTemporary(TParamCollection& store, const TStep& step, TSlot& slot,
                                        uint8_t kind);
    TParamCollectionItem& MakeElement(TParamCollection& store, const TStep& step, TSlot& slot);
    void TakeResult(TParamCollection& store, TRukoParser& program);
    void ReleaseLargeTemporaries();

    const TOpeData* source_;
    std::vector<TStep> steps_;
    std::vector<TOperand> operands_;
    std::vector<TSlot> slots_;
    uint32_t argSlot_ = 0;
    bool resultFromArg_ = false;
    bool running_ = false;
    uint64_t run_ = 0;
    // Reused by every run: the frame's temporaries, the operands of long steps, text scratch.
    std::vector<TParamCollectionItem*> frameItems_;
    std::vector<TView> views_;
    std::vector<TParamCollectionItem*> found_;
    std::vector<int32_t> subscripts_;
    std::string textA_, textB_;
    std::unique_ptr<TCustomParam> spareResult_;
};

} // namespace ruko
