-- Callbacks that run in the frames after the script.
local t = 0
setCallback(CB_UPDATE, function(dt)
  t = t + dt
  mesh:rotate(v3(0, 0, 1), 90 * dt)
  arm:movePoint(arm:localToGlobalPoint(v3(1, 0, 0)), v3(math.cos(t), 1, math.sin(t)))
  lamp:setEnergy(lamp:getEnergy() + 1)
  skin:update()
  if t > 0.05 then skin:delete() end
end)
walk:play()
