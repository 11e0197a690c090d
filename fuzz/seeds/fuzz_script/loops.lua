-- An endless loop that catches every error: the budget still ends it.
while true do
  pcall(function() while true do mesh:getPosition() end end)
end
