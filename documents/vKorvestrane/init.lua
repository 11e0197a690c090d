-- The built-in document of the player: a small scene that grows with what
-- the player can do.

local scene, viewport, models
local pivot, arms = nil, {}
local checker -- the first arm's own material, whose checker pattern turns
local time = 0

local function update(dt)
  time = time + dt
  -- The pivot turns the ring of arms; each arm bobs on its own phase.
  pivot:rotate(v3(0, 0, 1), 45 * dt)
  for i, arm in ipairs(arms) do
    local p = arm:getPosition(REF_LOCAL)
    arm:setPosition(v3(p:x(), p:y(), 0.5 * math.sin(2 * time + i)), REF_LOCAL)
  end
  checker:rotate(0, v2(0.5, 0.5), 90 * dt)
end

-- A chime rings from the first arm, heard through a microphone on the
-- camera: it pans as the ring carries the arm round.
local function ringChime()
  viewport:setMike(newMike(viewport:getCamera()))
  local chime = newSound(arms[1], newSample("chime.ogg"))
  chime:setVolume(4) -- the camera is far from the ring
end

-- A small pile of crates and balls dropped inside the ring: they fall,
-- knock into each other and come to rest on the floor, walled in by the
-- scene's bounds.
local function buildPile(scene)
  scene:setBounds({-1.4, 1.4, -1.4, 1.4, 0, 1.7976931348623157e308})
  local pile = {}
  for i = 1, 8 do
    local body = newRigidBody(scene, models:get(i % 2 == 0 and "ball" or "crate"))
    body:setName("pile" .. i)
    body:getChild():setScale(v3(0.25, 0.25, 0.25), REF_LOCAL)
    body:computeMassAndInertia(1)
    body:setPosition(v3(0.3 * ((i % 3) - 1), 0.3 * ((i % 2) - 0.5), 0.6 + 0.45 * i))
    body:rotate(v3(1, 1, 0), 17 * i)
    pile[i] = body
  end
  return pile
end

-- The mouse: a click makes an arm of the ring grow or shrink back, the
-- arms and the pile's crates and balls can be dragged, and dragging
-- elsewhere (or with the right button) turns the camera about the ring; the
-- wheel brings it nearer.
local function makeInteractive(pile)
  for _, arm in ipairs(arms) do
    arm:enableState(STATE_ACTIVE + STATE_MOVABLE, SCOPE_OBJECT)
    arm:setCallback(CB_MOUSE_CLICK, function(object)
      local size = object:getScale():x() < 0.5 and 0.6 or 0.4
      object:setScale(v3(size, size, size))
    end)
  end
  -- A body is dragged through the mesh that shows it.
  for _, body in ipairs(pile) do
    body:enableState(STATE_MOVABLE, SCOPE_OBJECT)
    body:getChild():enableState(STATE_ACTIVE, SCOPE_OBJECT)
  end
  viewport:setNavigationMode(NAVIGATION_GLASSBALL)
  viewport:setNavigationPosition(v3(0, 0, 0))
  viewport:setNavigationRadius(6, 3, 12)
  viewport:setNavigationAzimuth(90)
  viewport:setNavigationElevation(90, 15, 90)
end

-- Over the view, in units of its width from its upper left corner: a
-- caption that says whether the microphone listens, underlined, and the
-- set's tile texture as a picture in a frame in the upper right corner.
local function addOverlays()
  local mike = viewport:getMike()
  local caption = newText(scene)
  caption:setText(mike ~= nil and mike:getOn() and "Vekta  -  listening" or "Vekta")
  caption:setSize(0.04)
  caption:setColor(color(1, 1, 1, 1))
  caption:setBackgroundColor(color(0, 0, 0, 0.35))
  caption:setPosition(v3(0.03, 0.06, 1))
  local box = caption:getBoundingBox()
  local underline = newPolyline(caption)
  underline:addPoints({v2(box[1], box[4] + 0.006), v2(box[3], box[4] + 0.006)})
  underline:setClosed(false)
  underline:setThickness(0.002)
  underline:setColor(color(1, 0.75, 0.3, 1))
  local picture = newImage(scene, arms[1]:getTexture())
  picture:setPosition(v3(0.86, 0.03, 1))
  picture:setScale(v3(0.11, 0.11, 1))
  local frame = newPolyline(picture)
  local side = picture:getAspectRatio()
  frame:addPoints({v2(0, 0), v2(1, 0), v2(1, side), v2(0, side)})
  frame:setThickness(0.03)
  frame:setColor(color(1, 0.75, 0.3, 1))
end

local function onResize(ratio)
  setAspectRatio(ratio)
end

function startup()
  print("Welcome to Vekta.")
  setBackgroundColor(color(0.08, 0.09, 0.12, 1))
  scene = newScene("korvestrane")
  viewport = newViewport(0, 0, 1, getAspectRatio())
  models = newModelsSet("scene.xml")
  local camera = newCamera(scene, models:get("camera"))
  camera:setFOV(60)
  viewport:setCamera(camera)
  -- The set's lamp has no colour of its own: a warm light that casts shadows.
  local lamp = newLamp(scene, models:get("lamp"))
  lamp:setColor(color(1, 0.95, 0.85, 1))
  lamp:setShadow(true)

  -- A ring of the set's meshes around a pivot, each in a colour of its own
  -- (the set's material stays as it is).
  pivot = newObject(scene)
  pivot:setName("pivot")
  local shapes = {"cube", "sphere", "plane"}
  for i = 1, 6 do
    local arm = newMesh(pivot, models:get(shapes[(i - 1) % #shapes + 1]))
    local angle = i * math.pi / 3
    arm:setName("arm" .. i)
    arm:setPosition(v3(2 * math.cos(angle), 2 * math.sin(angle), 0), REF_LOCAL)
    arm:setScale(v3(0.4, 0.4, 0.4))
    arm:setColor(color(0.6 + 0.4 * math.cos(angle), 0.6 + 0.4 * math.cos(angle + 2.1), 0.6 + 0.4 * math.cos(angle + 4.2), 1))
    arms[i] = arm
  end
  checker = arms[1]:getMaterial()

  ringChime()
  makeInteractive(buildPile(scene))
  addOverlays()

  setCallback(CB_UPDATE, update)
  setCallback(CB_ASPECT_RATIO_CHANGED, onResize)
end
