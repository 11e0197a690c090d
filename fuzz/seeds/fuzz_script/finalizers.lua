-- Finalizers that call bound and file functions, run by collections and
-- when the document closes.
local function keep(f) return setmetatable({}, {__gc = f}) end
kept = keep(function()
  print(newTexture('x.png'), newModelsSet('set.xml'), newSample('none.ogg'))
  local f = io.open('set.xml') print(f and f:read(8))
  print(pcall(dofile, 'none.lua'), mesh:getPosition(), newMesh(scene, set:get('tri')))
end)
keep(function() tex:delete() newLamp(scene, set:get('lamp')):setEnergy(2) end)
collectgarbage()
held = {keep(function() print(io.open('//left.txt', 'w')) viewport:setCamera(eye) end),
        keep(function() setCallback(CB_UPDATE, function() print('late') end) end)}
debug.setmetatable(newObject(scene), {__gc = function() set:delete() end})
