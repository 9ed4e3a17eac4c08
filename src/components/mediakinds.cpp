#include "components/mediakinds.h"

#include "components/componentkind.h"
#include "components/propmotion.h"
#include "components/sound.h"
#include "components/timer.h"

namespace ruko {

void RegisterMediaComponentKinds()
{
    RegisterComponentKind(LT_SOUND, MakeComponent<TRukoSound>);
    RegisterComponentKind(LT_TIMER, MakeComponent<TRukoTimer>);
    RegisterComponentKind(LT_PROPMOTION, MakeComponent<TRukoPropMotion>);
}

} // namespace ruko
