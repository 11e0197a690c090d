-- A crate falls on the floor and knocks as it lands, heard through a
-- microphone on the camera; a click on the crate paints it red and changes
-- the caption.

local caption, knock
local landed = false

-- Called after every contact's impulse. The first hard contact with the
-- floor (the scene's lower bound: no second body) plays the knock where
-- the crate touched.
local function onContact(scene, point, normal, impulse, body, volume, otherBody)
  if not landed and otherBody == nil and impulse > 0.5 then
    landed = true
    local sound = newSound(scene, knock)
    sound:setPosition(point)
    sound:setVolume(4)
    print("the crate landed")
  end
end

-- The body gets the click of its mesh; picked is the mesh itself.
local function onClick(body, picked)
  picked:setColor(color(0.9, 0.15, 0.1, 1))
  caption:setText("Clicked: the crate is red")
  caption:setColor(color(1, 0.85, 0.2, 1))
  print("the crate was clicked")
end

function startup()
  setBackgroundColor(color(0.55, 0.7, 0.85, 1))
  local scene = newScene("crate")
  local viewport = newViewport(0, 0, 1, getAspectRatio())
  local set = newModelsSet("models.xml")
  local camera = newCamera(scene, set:get("camera"))
  viewport:setCamera(camera)
  -- The microphone rides on the camera: the viewport hears from there.
  viewport:setMike(newMike(camera))
  -- Faces turned away from every lamp get only the lamps' ambient light.
  local lamp = newLamp(scene, set:get("lamp"))
  lamp:setAmbientColor(color(0.4, 0.4, 0.4, 1))
  newMesh(scene, set:get("floor"))

  -- The body takes the template's place; a copy of the crate mesh, with
  -- its collision volume, becomes its child.
  local crate = newRigidBody(scene, set:get("crate"))
  crate:computeMassAndInertia(1)
  crate:setPosition(v3(0, 0, 3))
  crate:rotate(v3(0, 0, 1), -30)
  crate:enableState(STATE_ACTIVE)
  crate:setCallback(CB_MOUSE_CLICK, onClick)
  knock = newSample("knock.ogg")
  scene:setCallback(CB_POST_COLLISION, onContact)

  caption = newText(scene)
  caption:setText("Click the crate")
  caption:setSize(0.05)
  caption:setColor(color(1, 1, 1, 1))
  caption:setPosition(v3(0.03, 0.07, 1))
end
