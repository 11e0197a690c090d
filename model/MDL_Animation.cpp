#include "model/MDL_Animation.h"

#include "foundation/MTH_Frame.h"
#include "model/MDL_AnimationData.h"
#include "model/MDL_Object.h"

MDL_Animation::MDL_Animation()
    : m_poTarget(nullptr), m_poData(nullptr), m_fTime(0), m_fDuration(0), m_fSpeed(1.0), m_bPlaying(true),
      m_iKeyHint(-1)
{
}

MDL_Animation::MDL_Animation(MDL_AnimationData *data, MDL_Object *target) : MDL_Animation()
{
    m_poData = data;
    m_poTarget = target;
}

MDL_Animation::~MDL_Animation()
{
    m_oProxyHandle.release();
}

double MDL_Animation::apply(double dt)
{
    if (m_poTarget == nullptr || m_poTarget->m_bDeleted)
        return m_fTime;
    MTH_Vector3D location, rotation, scale;
    if (m_poData != nullptr && m_poData->samplePose(m_fTime, location, rotation, scale, &m_iKeyHint)) {
        MTH_Frame &frame = m_poTarget->editLocalFrame();
        frame.m_oBasis.setEulerAngles(rotation.m_fX, rotation.m_fY, rotation.m_fZ);
        frame.m_oBasis.scaleRows(scale);
        frame.m_oPosition = location;
        frame.invalidateInverse();
    }
    m_fTime += dt * m_fSpeed;
    if (m_fTime > m_fDuration)
        m_bPlaying = false;
    return m_fTime;
}

void MDL_Animation::seek(double time)
{
    m_fTime = time;
    apply(0);
}
